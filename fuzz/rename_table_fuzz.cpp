// Feeds naming-table rows of any text to step 3's renaming, against a real
// folder that is refilled for every input.
//
// Input: rows separated by 0x1E, cells (columns B, C, D) by 0x1F; a row with
// fewer cells has the rest unreadable. The first byte of a cell says how to
// read the rest:
//   'r'  the sandbox folder followed by the rest (UTF-8)
//   'u'  an unreadable cell (a formula error in the sheet)
//   'w'  the rest as UTF-16LE, lone surrogates included
//   'e'  the name of starting entry (rest[0] modulo their number)
//   else the whole cell as UTF-8, tag byte included
// Rows whose paths would leave the sandbox are not run: the table may name any
// path by design, and the fuzzer must not rename the machine's own files.
//
// Checked for every input: nothing is lost or duplicated (the same contents,
// the same number of entries), one outcome per row and a reason exactly for
// the failed ones, and an entry left under a cycle's temporary name is named
// in some row's reason. With a single row: a row reported renamed moved
// exactly its entry, and any other row changed nothing.
#include "rename/rename_plan.h"
#include "rename/rename_run.h"
#include "steps/batch_rename_report.h"
#include "fuzz/fuzz_sandbox.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace {

const FuzzSandbox &sandbox()
{
    static const FuzzSandbox folder;
    return folder;
}

TableCell decodeCell(const QByteArray &cell)
{
    const QByteArray rest = cell.mid(1);
    switch (cell.isEmpty() ? '\0' : cell.at(0)) {
    case 'r':
        return sandbox().root() + QString::fromUtf8(rest);
    case 'u':
        return std::nullopt;
    case 'w':
        return QString(reinterpret_cast<const QChar *>(rest.constData()), rest.size() / 2);
    case 'e': {
        const QStringList &names = FuzzSandbox::startingNames();
        return names.at((rest.isEmpty() ? 0 : std::uint8_t(rest.at(0))) % names.size());
    }
    default:
        return QString::fromUtf8(cell);
    }
}

bool staysInside(const NamingTableRow &row)
{
    if (!row.folder)
        return true;
    for (const TableCell &name : {row.currentName, row.newName})
        if (name && !sandbox().encloses(*row.folder + *name))
            return false;
    return true;
}

QList<QByteArray> sortedContents(const std::map<QByteArray, QByteArray> &entries)
{
    QList<QByteArray> contents;
    for (const auto &[path, content] : entries)
        contents << content;
    std::sort(contents.begin(), contents.end());
    return contents;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The path below the sandbox that `path` names, as the snapshot keys it.
QByteArray relativeKey(const QString &path)
{
    return QFile::encodeName(QDir::cleanPath(path).mid(sandbox().root().size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QList<TableCell>> cells;
    for (const QByteArray &line : input.split('\x1e')) {
        QList<TableCell> rowCells;
        for (const QByteArray &cell : line.split('\x1f').mid(0, 3))
            rowCells << decodeCell(cell);
        cells << rowCells;
    }
    const QList<NamingTableRow> rows = namingTableRows(cells, 2);
    if (!std::all_of(rows.begin(), rows.end(), staysInside))
        return -1;

    sandbox().refill();
    const auto before = sandbox().snapshot();
    const QList<RowOutcome> outcomes = carryOutRenamePlan(planNamingTableRenames(rows));
    const auto after = sandbox().snapshot();

    check(outcomes.size() == rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        check(outcomes[i].rowNumber == rows[i].rowNumber);
        check(outcomes[i].failed() == !rowFailureReason(outcomes[i]).isEmpty());
    }
    check(after.size() == before.size());
    check(sortedContents(after) == sortedContents(before));
    for (const auto &[path, content] : after) {
        const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
        if (name.startsWith(cycleTemporaryPrefix()) && !before.count(path)) {
            check(std::any_of(outcomes.begin(), outcomes.end(),
                              [&name](const RowOutcome &outcome) { return rowFailureReason(outcome).contains(name); }));
        }
    }

    if (rows.size() == 1) {
        const NamingTableRow &row = rows.first();
        if (outcomes.first().status() == RowStatus::Renamed) {
            const QByteArray from = relativeKey(*row.folder + *row.currentName);
            const QByteArray to = relativeKey(*row.folder + *row.newName);
            check(before.count(from) == 1 && after.count(from) == 0);
            check(after.count(to) == 1 && after.at(to) == before.at(from));
        } else {
            check(after == before);
        }
    }

    renamedFilesListEntries(rows);
    finalMessage(outcomes);
    return 0;
}
