#include "rename/table_check.h"

#include "rename/entry_identity.h"
#include "rename/file_system_kind.h"
#include "rename/rename_plan.h"
#include "rename/run_record_folder.h"
#include "rename/run_restore.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Where the last run of the table left what it renamed: the entry it moved to
// each new path, and the rows it says it renamed.
struct LastRun {
    QHash<QString, EntryId> movedTo;
    QSet<qint64> renamedRows;
};

LastRun lastRunOf(const QString &workbookPath, const QString &recordsFolder)
{
    if (workbookPath.isEmpty() || recordsFolder.isEmpty())
        return {};
    std::optional<RunRecord> last = lastUndoableRun(readRunRecords(recordsFolder));
    if (!last || last->workbook != workbookPath || !readRunSteps(*last))
        return {};
    LastRun run;
    // A cycle's entry passes through a temporary name: its last step is the
    // one that counts. A row that failed tried a path it never reached.
    for (const PlannedStep &step : last->steps) {
        if (last->renamedRows.contains(step.rowNumber))
            run.movedTo.insert(pathKey(step.newPath), step.entry);
    }
    run.renamedRows = last->renamedRows;
    return run;
}

bool extensionChanged(QStringView currentName, QStringView newName)
{
    const QStringView was = extensionOf(currentName);
    return !was.isEmpty() && was.compare(extensionOf(newName), Qt::CaseInsensitive) != 0;
}

// Whether the volume of a folder takes names that differ in letter case
// alone for one; each folder is asked once.
class CaseFolding {
public:
    bool in(QStringView folder)
    {
        auto known = folds.constFind(folder);
        if (known == folds.cend()) {
            const std::optional<FileSystemKind> kind = kinds.of(folder.toString());
            known = folds.insert(folder, kind && isMadeForWindows(*kind));
        }
        return *known;
    }

private:
    FileSystemKinds kinds;
    QHash<QStringView, bool> folds;
};

// Which names the folders hold; a folder of few rows is looked at name by
// name, a larger one read once while its rows come one after the other, as
// step 2 writes them: only the folder at hand is kept, as a million names
// read at once would take some hundred megabytes.
class TakenNames {
public:
    bool holds(const PlannedRename &rename, qsizetype renamesInFolder)
    {
        if (renamesInFolder < 16)
            return entryIdOf(rename.newPath).has_value();
        if (!listing || listedFolder != rename.folder()) {
            listedFolder = rename.folder();
            listing = folderInodes(rename.folder().toString());
        }
        if (!*listing)
            return entryIdOf(rename.newPath).has_value();
        return (*listing)->idOf(QStringView(rename.newPath).sliced(rename.nameStart).toString()) != EntryId();
    }

private:
    QStringView listedFolder;
    std::optional<std::optional<FolderInodes>> listing;
};

class Checker {
public:
    Checker(const QList<NamingTableRow> &tableRows, const QString &workbookPath, const QString &recordsFolder,
            const ListedEntries *listed)
        : rows(tableRows)
        , plan(planNamingTableRenames(tableRows, workbookPath, listed))
        , problems(tableRows.size())
        , lastRun(lastRunOf(workbookPath, recordsFolder))
    {
    }

    TableCheck run()
    {
        markRefused();
        markDone();
        markGone();
        markSameNewPaths();
        markTakenNewPaths();
        markWarnings();
        return collect();
    }

private:
    const PlannedRename *renameOfRow(qsizetype row) const
    {
        const qsizetype index = renameIndexOfRow[row];
        return index < 0 ? nullptr : &plan.renames[index];
    }
    // The renames still in question: planned, not done, no problem yet.
    template <typename Visit>
    void forEachOpenRename(Visit &&visit)
    {
        for (qsizetype i = 0; i < plan.renames.size(); ++i) {
            const qsizetype row = plan.renames[i].outcomeIndex;
            if (!problems[row] && !done.contains(row))
                visit(plan.renames[i], row);
        }
    }

    void markRefused()
    {
        renameIndexOfRow.assign(rows.size(), -1);
        for (qsizetype i = 0; i < plan.renames.size(); ++i)
            renameIndexOfRow[plan.renames[i].outcomeIndex] = i;
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (plan.outcomes[row].problem != RowProblem::None)
                problems[row] = CheckProblem::Refused;
        }
    }

    void markDone()
    {
        if (lastRun.renamedRows.isEmpty())
            return;
        for (qsizetype row = 0; row < rows.size(); ++row) {
            // The last run put another of the table's entries at the row's
            // name (a swap): the row is done, not replaced since step 1.
            const bool mayBeDone = renameIndexOfRow[row] >= 0 ||
                                   plan.outcomes[row].problem == RowProblem::EntryReplacedSinceListed;
            if (!mayBeDone || !lastRun.renamedRows.contains(rows[row].rowNumber))
                continue;
            const QString newPath = *rows[row].folder + *rows[row].newName;
            const auto moved = lastRun.movedTo.constFind(pathKey(newPath));
            if (moved != lastRun.movedTo.cend() && entryIdOf(newPath) == *moved)
                done.insert(row);
        }
    }

    void markGone()
    {
        forEachOpenRename([this](const PlannedRename &rename, qsizetype row) {
            if (rename.entry == EntryId())
                setRenameFailure(row, CheckProblem::EntryGone, RenameError::SourceMissing);
        });
    }

    // The key pathKey gives `folder` + `name`, the folder cleaned once: a
    // name holds no "/" and is neither "." nor "..", and cleaning every path
    // would cost more than the rest of the check.
    const QString &folderKeyOf(QStringView folder)
    {
        auto known = folderKeys.constFind(folder);
        if (known == folderKeys.cend()) {
            QString cleaned = QDir::cleanPath(folder.toString());
            if (!cleaned.endsWith(u'/'))
                cleaned += u'/';
            known = folderKeys.insert(folder, cleaned);
        }
        return *known;
    }

    QString keyOf(QStringView folder, QStringView name)
    {
        const QString &folderKey = folderKeyOf(folder);
        QString key;
        key.reserve(folderKey.size() + name.size());
        return key.append(folderKey).append(name);
    }

    QString newPathKey(QStringView folder, QStringView newName)
    {
        const QString key = keyOf(folder, newName);
        return caseFolding.in(folder) ? key.toCaseFolded() : key;
    }

    static QStringView newNameOf(const PlannedRename &rename)
    {
        return QStringView(rename.newPath).sliced(rename.nameStart);
    }

    // A row's new path as the rows' folders and names give it; the row may
    // have been refused, and so be no rename of the plan.
    struct NewPathOf {
        QStringView folder;
        QStringView name;
        qsizetype row;
    };

    size_t hashOf(const NewPathOf &path)
    {
        const QString &folderKey = folderKeyOf(path.folder);
        if (!caseFolding.in(path.folder))
            return qHash(folderKey) * 31 + qHash(path.name);
        size_t hash = qHash(folderKey.toCaseFolded());
        for (const QChar c : path.name)
            hash = hash * 31 + QChar::toCaseFolded(c.unicode());
        return hash;
    }

    NewPathOf newPathOfRow(qsizetype row) const
    {
        if (const PlannedRename *rename = renameOfRow(row))
            return {rename->folder(), newNameOf(*rename), row};
        return {*rows[row].folder, *rows[row].newName, row};
    }

    // Rows that give the same new path: the paths are told apart by a hash
    // first, as building and hashing a million path texts would cost more
    // than the plan; only rows whose hashes meet are compared as texts. The
    // hashes and rows alone are kept, sixteen bytes a row: at a million rows
    // the check stays within the memory step 3 may take.
    void markSameNewPaths()
    {
        std::vector<std::pair<size_t, qsizetype>> hashes;
        hashes.reserve(plan.renames.size());
        forEachOpenRename([&](const PlannedRename &rename, qsizetype row) {
            hashes.emplace_back(hashOf({rename.folder(), newNameOf(rename), row}), row);
        });
        // The plan already refuses the later of two new names a volume made
        // for Windows takes for one; the earlier row is as much involved.
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (refusedAsOtherCase(row))
                hashes.emplace_back(hashOf(newPathOfRow(row)), row);
        }
        std::sort(hashes.begin(), hashes.end());
        for (size_t start = 0; start < hashes.size();) {
            size_t end = start + 1;
            while (end < hashes.size() && hashes[end].first == hashes[start].first)
                ++end;
            if (end - start > 1)
                markSharedAmong(hashes, start, end);
            start = end;
        }
    }

    void markSharedAmong(const std::vector<std::pair<size_t, qsizetype>> &hashes, size_t start, size_t end)
    {
        QHash<QString, QList<qsizetype>> byKey;
        for (size_t i = start; i < end; ++i) {
            const NewPathOf path = newPathOfRow(hashes[i].second);
            byKey[newPathKey(path.folder, path.name)].append(path.row);
        }
        for (const QList<qsizetype> &group : std::as_const(byKey)) {
            if (group.size() < 2)
                continue;
            for (const qsizetype row : group) {
                problems[row] = CheckProblem::SameNewPath;
                RowFinding &finding = extra[row];
                finding.newPath = *rows[row].folder + *rows[row].newName;
                for (const qsizetype other : group) {
                    if (other != row)
                        finding.otherRows.append(rows[other].rowNumber);
                }
            }
        }
    }

    bool refusedAsOtherCase(qsizetype row) const
    {
        const RowOutcome &outcome = plan.outcomes[row];
        return outcome.problem == RowProblem::NewNameBreaksWindowsRule &&
               outcome.windowsNameProblem().rule == WindowsNameRule::DiffersOnlyInCase;
    }

    void markTakenNewPaths()
    {
        QHash<QStringView, qsizetype> renamesIn;
        for (const PlannedRename &rename : plan.renames)
            ++renamesIn[rename.folder()];
        // Made only once a new name is found held: most are free.
        std::optional<QSet<QString>> movedAway;
        QSet<QString> movedAwayFolded;
        const auto movedAwayHolds = [&](const PlannedRename &rename, bool folded) {
            if (!movedAway) {
                movedAway.emplace();
                for (const PlannedRename &moved : plan.renames) {
                    const QString key = keyOf(moved.folder(), moved.currentName());
                    if (caseFolding.in(moved.folder()))
                        movedAwayFolded.insert(key.toCaseFolded());
                    movedAway->insert(key);
                }
            }
            const QString key = keyOf(rename.folder(), newNameOf(rename));
            return movedAway->contains(key) || (folded && movedAwayFolded.contains(key.toCaseFolded()));
        };
        TakenNames taken;
        forEachOpenRename([&](const PlannedRename &rename, qsizetype row) {
            const bool folds = caseFolding.in(rename.folder());
            if (folds) {
                const std::optional<EntryId> holder = entryIdOf(rename.newPath);
                if (!holder || *holder == rename.entry)
                    return;
            } else if (!taken.holds(rename, renamesIn.value(rename.folder()))) {
                return;
            }
            if (!movedAwayHolds(rename, folds))
                setRenameFailure(row, CheckProblem::NewNameTaken, RenameError::TargetExists);
        });
    }

    void markWarnings()
    {
        forEachOpenRename([this](const PlannedRename &rename, qsizetype row) {
            if (extensionChanged(rename.currentName(), QStringView(rename.newPath).sliced(rename.nameStart)))
                problems[row] = CheckProblem::ExtensionChanged;
            else if (rows[row].hidden)
                problems[row] = CheckProblem::HiddenRow;
        });
    }

    void setRenameFailure(qsizetype row, CheckProblem problem, RenameError error)
    {
        problems[row] = problem;
        RowOutcome &outcome = extra[row].outcome;
        outcome = plan.outcomes[row];
        outcome.problem = RowProblem::RenameFailed;
        outcome.details = RenameFailure{error, QString(), 0};
    }

    TableCheck collect()
    {
        TableCheck check;
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (done.contains(row)) {
                check.doneByLastRun.append(rows[row].rowNumber);
                continue;
            }
            if (!problems[row]) {
                check.willRename += renameIndexOfRow[row] >= 0 ? 1 : 0;
                continue;
            }
            check.willRename += isWarning(*problems[row]) ? 1 : 0;
            RowFinding finding = extra.value(row);
            finding.rowNumber = rows[row].rowNumber;
            finding.problem = *problems[row];
            if (finding.problem == CheckProblem::Refused)
                finding.outcome = plan.outcomes[row];
            finding.folder = rows[row].folder.value_or(QString());
            finding.currentName = rows[row].currentName.value_or(QString());
            finding.newName = rows[row].newName.value_or(QString());
            check.findings.append(std::move(finding));
        }
        // Moved out last: the renames' folders are what the caches look at.
        check.plan = std::make_shared<const RenamePlan>(std::move(plan));
        return check;
    }

    const QList<NamingTableRow> &rows;
    RenamePlan plan;
    std::vector<std::optional<CheckProblem>> problems;
    std::vector<qsizetype> renameIndexOfRow;
    const LastRun lastRun;
    QSet<qsizetype> done;
    QHash<qsizetype, RowFinding> extra;
    CaseFolding caseFolding;
    QHash<QStringView, QString> folderKeys;
};

} // namespace

QStringView extensionOf(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.sliced(dot + 1) : QStringView();
}

bool isWarning(CheckProblem problem)
{
    return problem == CheckProblem::ExtensionChanged || problem == CheckProblem::HiddenRow;
}

qsizetype TableCheck::failing() const
{
    return std::count_if(findings.begin(), findings.end(), [](const RowFinding &f) { return !isWarning(f.problem); });
}

qsizetype TableCheck::warned() const
{
    return findings.size() - failing();
}

qsizetype TableCheck::countOf(CheckProblem problem) const
{
    return std::count_if(findings.begin(), findings.end(), [problem](const RowFinding &f) { return f.problem == problem; });
}

TableCheck checkNamingTable(const QList<NamingTableRow> &rows, const QString &workbookPath, const QString &recordsFolder,
                            const ListedEntries *listed)
{
    return Checker(rows, workbookPath, recordsFolder, listed).run();
}

QList<NamingTableRow> rowsNotDone(const QList<NamingTableRow> &rows, const TableCheck &check)
{
    if (check.doneByLastRun.isEmpty())
        return rows;
    const QSet<qint64> done(check.doneByLastRun.begin(), check.doneByLastRun.end());
    QList<NamingTableRow> left;
    left.reserve(rows.size() - done.size());
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(left),
                 [&done](const NamingTableRow &row) { return !done.contains(row.rowNumber); });
    return left;
}
