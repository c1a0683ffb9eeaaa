#include "rename/batch_rename.h"

#include "rename/entry_identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <utility>
#include <vector>

namespace {

constexpr qsizetype listedFailuresLimit = 20;
// A name may hold this many bytes on the file systems we rename on.
constexpr qsizetype nameBytesLimit = 255;

struct PendingRename {
    qsizetype outcomeIndex;
    QString folder;
    QString currentName;
    QString currentPath;
    QString newPath;
    // The index of the rename that moves away the entry now at `newPath`, or
    // -1 when no pending rename does.
    qsizetype holder = -1;
    bool done = false;
};

// Rows name one entry however they spell its folder ("/t//" or "/t/./" for
// "/t/"); names are compared exactly, as the file system does.
QString pathKey(const QString &path)
{
    return QDir::cleanPath(path);
}

// The longest beginning of `name` whose encoded form fits in `bytes`, cut
// between characters.
QString nameWithin(const QString &name, qsizetype bytes)
{
    qsizetype used = 0;
    qsizetype kept = 0;
    for (const char32_t c : name.toUcs4()) {
        used += QFile::encodeName(QString::fromUcs4(&c, 1)).size();
        if (used > bytes)
            break;
        kept += QChar::requiresSurrogates(c) ? 2 : 1;
    }
    return name.left(kept);
}

// What a temporary name leaves for the entry's own name after our prefix,
// eight hexadecimal digits and "-".
qsizetype temporaryNameRoom()
{
    return nameBytesLimit - QFile::encodeName(cycleTemporaryPrefix()).size() - 9;
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(u'\0'));
}

// Why the non-empty `name` cannot be given to an entry, or nothing when it
// can. Besides what the system refuses, names whose ends or characters the
// user cannot see are refused: such a file could hardly be found or named
// again, and a space left at the end of a cell is almost always a slip.
std::optional<QString> newNameProblem(const QString &name)
{
    // An unpaired surrogate has no UTF-8 form, so no file can bear the name.
    if (!name.isValidUtf16())
        return QStringLiteral("新文件名含有无效的字符（不成对的 UTF-16 代理项）");
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("新文件名不能含控制字符（如换行、制表符）");
    // Format characters show nothing, or turn the text around: "n5.txt" with
    // a zero-width space looks like "n5.txt", and U+202E makes "gpj.exe" read
    // as "exe.jpg".
    for (const char32_t c : name.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Format)
            return QStringLiteral("新文件名含有看不见的格式字符 U+%1").arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'));
    }
    if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); }))
        return QStringLiteral("新文件名不能只有空白");
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("新文件名首尾不能有空白");
    if (!isPlainName(name))
        return QStringLiteral("新文件名无效（不能含“/”，也不能是“.”或“..”）");
    return std::nullopt;
}

QString unreadableReason(const NamingTableRow &row)
{
    QStringList columns;
    if (!row.folder)
        columns << QStringLiteral("B");
    if (!row.currentName)
        columns << QStringLiteral("C");
    if (!row.newName)
        columns << QStringLiteral("D");
    return QStringLiteral("%1 列的单元格无法读取").arg(columns.join(QStringLiteral("、")));
}

QString renameReason(const RenameFailure &failure)
{
    switch (failure.error) {
    case RenameError::TargetExists:
        return QStringLiteral("新文件名已存在");
    case RenameError::SourceMissing:
        return QStringLiteral("原文件不存在");
    case RenameError::InvalidName:
        return QStringLiteral("文件名无效");
    case RenameError::PermissionDenied:
        return QStringLiteral("没有权限");
    case RenameError::NoSafeRename:
        return QStringLiteral("此文件系统无法保证更名时不覆盖已有的文件，为安全起见没有更名");
    case RenameError::Other:
        break;
    }
    return QStringLiteral("其他错误：") + failure.systemText;
}

void markFailed(RowOutcome &outcome, const RenameFailure &failure)
{
    outcome.status = RowStatus::FailedRename;
    outcome.error = failure.error;
    outcome.reason = renameReason(failure);
}

void markFailedByOtherRow(RowOutcome &outcome, const QString &reason)
{
    outcome.status = RowStatus::FailedByOtherRow;
    outcome.reason = reason;
}

QString keptForCycle(qint64 failedRow)
{
    return QStringLiteral("与第 %1 行循环更名，第 %1 行未能更名，本行保持原名").arg(failedRow);
}

void markInvalid(RowOutcome &outcome, const QString &reason)
{
    outcome.status = RowStatus::FailedRename;
    outcome.error = RenameError::InvalidName;
    outcome.reason = reason;
}

// Decides what can be decided from the row's text alone. Returns true when
// the row still needs its rename carried out.
bool judgeRow(const NamingTableRow &row, RowOutcome &outcome)
{
    if (!row.folder || !row.currentName || !row.newName) {
        outcome.status = RowStatus::FailedUnreadableCell;
        outcome.reason = unreadableReason(row);
        return false;
    }
    if (row.newName->isEmpty()) {
        outcome.status = RowStatus::KeptEmptyNewName;
        return false;
    }
    if (*row.newName == *row.currentName) {
        outcome.status = RowStatus::UnchangedSameName;
        return false;
    }
    // A relative folder would resolve against wherever the program happens
    // to run, which is never what the table meant.
    if (!row.folder->startsWith(u'/')) {
        markInvalid(outcome, QStringLiteral("目录不是完整路径"));
        return false;
    }
    // The folder's last name would run straight into column C and name
    // another entry: "/t/2023" with "01.txt" is "/t/202301.txt".
    if (!row.folder->endsWith(u'/')) {
        markInvalid(outcome, QStringLiteral("目录必须以“/”结尾"));
        return false;
    }
    // A name with "/" would move the entry to another folder, and "." or ".."
    // would name the folder itself or its parent: neither is a rename.
    if (!isPlainName(*row.currentName)) {
        markInvalid(outcome, QStringLiteral("原文件名无效"));
        return false;
    }
    if (const std::optional<QString> problem = newNameProblem(*row.newName)) {
        markInvalid(outcome, *problem);
        return false;
    }
    return true;
}

// The workbook that holds the naming table. Step 2's window may still show
// it under its old path, and a save there would write the table over whatever
// then bears that name; so no row renames it, and none gives its name to
// another entry. It is told by what it is, not by how a row spells its path.
class TableWorkbook {
public:
    explicit TableWorkbook(const QString &path)
    {
        if (path.isEmpty())
            return;
        ownIdentity = entryIdentity(path);
        fileIdentity = resolvedIdentity(path);
        names << QFileInfo(path).fileName() << QFileInfo(QFileInfo(path).canonicalFilePath()).fileName();
    }

    bool isAt(const QString &folder, const QString &name) const
    {
        // Only an entry of the same name can be the file itself (letter case
        // aside, for file systems that ignore it); the others need no look.
        if (!names.contains(name, Qt::CaseInsensitive))
            return false;
        const std::optional<EntryIdentity> identity = entryIdentity(folder + name);
        return identity && (identity == ownIdentity || identity == fileIdentity);
    }

private:
    QStringList names;
    std::optional<EntryIdentity> ownIdentity;
    std::optional<EntryIdentity> fileIdentity;
};

bool judgeAgainstWorkbook(const NamingTableRow &row, const TableWorkbook &workbook, RowOutcome &outcome)
{
    if (workbook.isAt(*row.folder, *row.currentName)) {
        outcome.status = RowStatus::FailedTableWorkbook;
        outcome.reason = QStringLiteral("这是命名表所在的工作簿，它可能仍在 LibreOffice 中打开；请关闭它后另行更名");
        return false;
    }
    if (workbook.isAt(*row.folder, *row.newName)) {
        outcome.status = RowStatus::FailedTableWorkbook;
        outcome.reason = QStringLiteral("新文件名是命名表所在的工作簿");
        return false;
    }
    return true;
}

// Carries out the renames that passed judgeRow, so that a row whose new path
// is held by an entry another row moves away runs after that row.
class RenameRun {
public:
    RenameRun(std::vector<PendingRename> renames, QList<RowOutcome> &results)
        : pending(std::move(renames)), outcomes(results)
    {
    }

    // Runs every pending rename; see renameFromNamingTable for the order.
    void runAll();

private:
    void runFrom(qsizetype start);
    void renameOne(qsizetype index);
    void runCycle(std::vector<qsizetype> cycle);
    std::optional<RenameFailure> moveAside(const PendingRename &rename, QString &temporaryPath) const;
    RowOutcome &outcomeOf(qsizetype index) { return outcomes[pending[index].outcomeIndex]; }

    std::vector<PendingRename> pending;
    QList<RowOutcome> &outcomes;
};

void RenameRun::runAll()
{
    QHash<QString, qsizetype> moverOf;
    for (qsizetype i = 0; i < qsizetype(pending.size()); ++i)
        moverOf.insert(pathKey(pending[i].currentPath), i);
    for (PendingRename &rename : pending)
        rename.holder = moverOf.value(pathKey(rename.newPath), -1);

    // Deepest first, so that a folder's row cannot strand the rows of the
    // entries inside it. A row only ever waits for a row of its own folder,
    // which has the same depth.
    std::vector<qsizetype> order(pending.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<qsizetype> depths;
    for (const PendingRename &rename : pending)
        depths.push_back(pathKey(rename.currentPath).count(u'/'));
    std::stable_sort(order.begin(), order.end(), [&depths](qsizetype a, qsizetype b) { return depths[a] > depths[b]; });
    for (const qsizetype index : order) {
        if (!pending[index].done)
            runFrom(index);
    }
}

// Follows the holders of each new path from `start` to the free end of the
// chain (a path no pending row holds, or a row already run) and runs the
// chain from there back to `start`. A chain that runs into itself ends in a
// cycle, which runs first as a whole.
void RenameRun::runFrom(qsizetype start)
{
    std::vector<qsizetype> chain;
    QHash<qsizetype, qsizetype> placeInChain;
    qsizetype next = start;
    while (next >= 0 && !pending[next].done && !placeInChain.contains(next)) {
        placeInChain.insert(next, qsizetype(chain.size()));
        chain.push_back(next);
        next = pending[next].holder;
    }
    if (next >= 0 && placeInChain.contains(next)) {
        const qsizetype cycleStart = placeInChain.value(next);
        runCycle({chain.begin() + cycleStart, chain.end()});
        chain.resize(cycleStart);
    }
    for (auto index = chain.rbegin(); index != chain.rend(); ++index)
        renameOne(*index);
}

void RenameRun::renameOne(qsizetype index)
{
    PendingRename &rename = pending[index];
    rename.done = true;
    if (const std::optional<RenameFailure> failure = renameNoReplace(rename.currentPath, rename.newPath))
        markFailed(outcomeOf(index), *failure);
}

// `cycle[i]` waits for `cycle[i + 1]`, the last one for the first. One entry
// steps aside to a temporary name, the others follow one another into the
// names freed, and the one aside takes the last name freed. Should a step
// fail, the steps done are undone in reverse order, so that every entry gets
// its own name back; an undo that fails stops the undoing, and the rows still
// renamed are reported renamed.
void RenameRun::runCycle(std::vector<qsizetype> cycle)
{
    for (const qsizetype index : cycle)
        pending[index].done = true;
    // The entry with the shortest name steps aside: its temporary name is the
    // least likely to pass the file system's limit on a name's length.
    const auto nameSize = [this](qsizetype index) {
        return std::pair(QFile::encodeName(pending[index].currentName).size(), pending[index].outcomeIndex);
    };
    std::rotate(cycle.begin(),
                std::min_element(cycle.begin(), cycle.end(),
                                 [&nameSize](qsizetype a, qsizetype b) { return nameSize(a) < nameSize(b); }),
                cycle.end());
    const qsizetype aside = cycle.front();
    const PendingRename &asideRename = pending[aside];

    QString temporaryPath;
    if (const std::optional<RenameFailure> failure = moveAside(asideRename, temporaryPath)) {
        markFailed(outcomeOf(aside), *failure);
        outcomeOf(aside).reason.prepend(QStringLiteral("交换或循环更名须先把此文件改为临时名，未能做到："));
        for (const qsizetype index : cycle) {
            if (index != aside)
                markFailedByOtherRow(outcomeOf(index), keptForCycle(outcomeOf(aside).rowNumber));
        }
        return;
    }

    std::vector<qsizetype> moved;
    std::optional<RenameFailure> failure;
    qsizetype failedIndex = aside;
    for (auto index = cycle.rbegin(); index != cycle.rend() - 1 && !failure; ++index) {
        failure = renameNoReplace(pending[*index].currentPath, pending[*index].newPath);
        if (failure)
            failedIndex = *index;
        else
            moved.push_back(*index);
    }
    if (!failure)
        failure = renameNoReplace(temporaryPath, asideRename.newPath);
    if (!failure)
        return;

    // Each undo frees the name that the undo before it needs.
    while (!moved.empty() && !renameNoReplace(pending[moved.back()].newPath, pending[moved.back()].currentPath))
        moved.pop_back();
    const bool asideBack = moved.empty() && !renameNoReplace(temporaryPath, asideRename.currentPath);

    const qint64 failedRow = outcomeOf(failedIndex).rowNumber;
    const QSet<qsizetype> stillRenamed(moved.begin(), moved.end());
    for (const qsizetype index : cycle) {
        if (index != failedIndex && !stillRenamed.contains(index))
            markFailedByOtherRow(outcomeOf(index), keptForCycle(failedRow));
    }
    markFailed(outcomeOf(failedIndex), *failure);
    if (!asideBack) {
        const QString leftAt = QStringLiteral("此文件暂时留在“%1”，请手动改名").arg(temporaryPath.mid(asideRename.folder.size()));
        RowOutcome &asideOutcome = outcomeOf(aside);
        if (aside == failedIndex)
            asideOutcome.reason += QStringLiteral("；") + leftAt;
        else
            markFailedByOtherRow(asideOutcome, QStringLiteral("与第 %1 行循环更名，第 %1 行未能更名；").arg(failedRow) + leftAt);
    }
}

// Gives the entry a name in its own folder that no entry has: our prefix,
// random letters and its own name, so that whoever finds it left behind can
// tell what it was. The no-replace rename makes sure the name is free.
std::optional<RenameFailure> RenameRun::moveAside(const PendingRename &rename, QString &temporaryPath) const
{
    std::optional<RenameFailure> failure;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QString letters = QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, u'0');
        temporaryPath = rename.folder + cycleTemporaryPrefix() + letters + u'-' + nameWithin(rename.currentName, temporaryNameRoom());
        failure = renameNoReplace(rename.currentPath, temporaryPath);
        if (!failure || failure->error != RenameError::TargetExists)
            break;
    }
    return failure;
}

} // namespace

QString cycleTemporaryPrefix()
{
    return QStringLiteral(".quillmere-swap-");
}

QList<NamingTableRow> namingTableRows(const QList<QList<TableCell>> &cellsBtoD, qint64 firstRowNumber)
{
    QList<NamingTableRow> rows;
    rows.reserve(cellsBtoD.size());
    for (qsizetype i = 0; i < cellsBtoD.size(); ++i) {
        const QList<TableCell> &cells = cellsBtoD[i];
        const auto cell = [&cells](qsizetype column) { return column < cells.size() ? cells[column] : TableCell(); };
        rows.append({firstRowNumber + i, cell(0), cell(1), cell(2)});
    }
    return rows;
}

QList<RowOutcome> renameFromNamingTable(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath)
{
    const TableWorkbook tableWorkbook(tableWorkbookPath);
    QList<RowOutcome> outcomes;
    outcomes.reserve(rows.size());
    std::vector<PendingRename> pending;
    QHash<QString, qint64> firstRowOf;
    for (const NamingTableRow &row : rows) {
        RowOutcome outcome;
        outcome.rowNumber = row.rowNumber;
        outcome.oldName = row.currentName.value_or(QString());
        outcome.newName = row.newName.value_or(QString());
        if (judgeRow(row, outcome) && judgeAgainstWorkbook(row, tableWorkbook, outcome)) {
            const QString currentPath = *row.folder + *row.currentName;
            // Two rows that give one entry two names contradict each other;
            // only the first is followed.
            if (const auto first = firstRowOf.constFind(pathKey(currentPath)); first != firstRowOf.cend()) {
                markFailedByOtherRow(outcome, QStringLiteral("与第 %1 行是同一个原文件，只按第 %1 行更名").arg(*first));
            } else {
                firstRowOf.insert(pathKey(currentPath), row.rowNumber);
                pending.push_back({outcomes.size(), *row.folder, *row.currentName, currentPath, *row.folder + *row.newName});
            }
        }
        outcomes.append(outcome);
    }
    RenameRun(std::move(pending), outcomes).runAll();
    return outcomes;
}

QStringList renamedFilesListEntries(const QList<NamingTableRow> &rows)
{
    QStringList entries;
    for (const NamingTableRow &row : rows) {
        if (row.newName)
            entries << *row.newName;
    }
    return entries;
}

QString processedCountText(qsizetype listedRows)
{
    return QStringLiteral("批量更名的文件数：") + QString::number(listedRows);
}

QString finalMessage(const QList<RowOutcome> &outcomes)
{
    QList<RowOutcome> failures;
    std::copy_if(outcomes.begin(), outcomes.end(), std::back_inserter(failures),
                 [](const RowOutcome &outcome) { return outcome.failed(); });
    if (failures.isEmpty())
        return QStringLiteral("OK,YOU MAKE IT!");

    QString message = QStringLiteral("有 %1 行未能更名：").arg(failures.size());
    for (const RowOutcome &failure : failures.first(std::min(failures.size(), listedFailuresLimit))) {
        // One multi-argument arg() so that a "%1" inside a file name is not
        // taken for a placeholder.
        message += QStringLiteral("\n第 %1 行：%2 → %3（%4）")
                       .arg(QString::number(failure.rowNumber), failure.oldName, failure.newName, failure.reason);
    }
    if (failures.size() > listedFailuresLimit)
        message += QStringLiteral("\n……另有 %1 行未列出。").arg(failures.size() - listedFailuresLimit);
    return message;
}
