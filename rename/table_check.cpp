#include "rename/table_check.h"

#include "rename/entry_identity.h"
#include "rename/file_system_kind.h"
#include "rename/rename_plan.h"
#include "rename/run_record_folder.h"
#include "rename/run_restore.h"

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
    // one that counts.
    for (const PlannedStep &step : last->steps)
        run.movedTo.insert(pathKey(step.newPath), step.entry);
    run.renamedRows = last->renamedRows;
    return run;
}

// The part of a name after its last ".", or nothing; a name that only begins
// with a dot (".profile") has none.
QStringView extensionOf(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.sliced(dot + 1) : QStringView();
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

// Which names the folders hold; each folder is read once, a folder of few
// rows looked at name by name instead.
class TakenNames {
public:
    bool holds(const PlannedRename &rename, qsizetype renamesInFolder)
    {
        if (renamesInFolder < 16)
            return entryIdOf(rename.newPath).has_value();
        auto listing = listings.constFind(rename.folder());
        if (listing == listings.cend())
            listing = listings.insert(rename.folder(), folderInodes(rename.folder().toString()));
        if (!*listing)
            return entryIdOf(rename.newPath).has_value();
        return (*listing)->idOf(QStringView(rename.newPath).sliced(rename.nameStart).toString()) != EntryId();
    }

private:
    QHash<QStringView, std::optional<FolderInodes>> listings;
};

QString foldedKey(const QString &path)
{
    return pathKey(path).toCaseFolded();
}

class Checker {
public:
    Checker(const QList<NamingTableRow> &tableRows, const QString &workbookPath, const QString &recordsFolder)
        : rows(tableRows)
        , plan(planNamingTableRenames(tableRows, workbookPath))
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
        for (const PlannedRename &rename : plan.renames) {
            const qsizetype row = rename.outcomeIndex;
            if (problems[row] || !lastRun.renamedRows.contains(rows[row].rowNumber))
                continue;
            const auto moved = lastRun.movedTo.constFind(pathKey(rename.newPath));
            if (moved != lastRun.movedTo.cend() && entryIdOf(rename.newPath) == *moved)
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

    QString newPathKey(QStringView folder, const QString &newPath)
    {
        return caseFolding.in(folder) ? foldedKey(newPath) : pathKey(newPath);
    }

    void markSameNewPaths()
    {
        QHash<QString, qsizetype> firstRowWith;
        QHash<QString, QList<qsizetype>> shared;
        forEachOpenRename([&](const PlannedRename &rename, qsizetype row) {
            visitNewPath(newPathKey(rename.folder(), rename.newPath), row, firstRowWith, shared);
        });
        // The plan already refuses the later of two new names a volume made
        // for Windows takes for one; the earlier row is as much involved.
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (refusedAsOtherCase(row))
                visitNewPath(newPathKey(*rows[row].folder, *rows[row].folder + *rows[row].newName), row, firstRowWith, shared);
        }
        for (auto group = shared.cbegin(); group != shared.cend(); ++group) {
            for (const qsizetype row : *group) {
                problems[row] = CheckProblem::SameNewPath;
                RowFinding &finding = extra[row];
                finding.newPath = *rows[row].folder + *rows[row].newName;
                for (const qsizetype other : *group) {
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

    static void visitNewPath(const QString &key, qsizetype row, QHash<QString, qsizetype> &firstRowWith,
                             QHash<QString, QList<qsizetype>> &shared)
    {
        const auto first = firstRowWith.constFind(key);
        if (first == firstRowWith.cend()) {
            firstRowWith.insert(key, row);
            return;
        }
        QList<qsizetype> &group = shared[key];
        if (group.isEmpty())
            group.append(*first);
        group.append(row);
    }

    void markTakenNewPaths()
    {
        QSet<QString> movedAway;
        QSet<QString> movedAwayFolded;
        QHash<QStringView, qsizetype> renamesIn;
        for (const PlannedRename &rename : plan.renames) {
            movedAway.insert(pathKey(rename.currentPath));
            ++renamesIn[rename.folder()];
            if (caseFolding.in(rename.folder()))
                movedAwayFolded.insert(foldedKey(rename.currentPath));
        }
        TakenNames taken;
        forEachOpenRename([&](const PlannedRename &rename, qsizetype row) {
            if (movedAway.contains(pathKey(rename.newPath)))
                return;
            if (caseFolding.in(rename.folder())) {
                const std::optional<EntryId> holder = entryIdOf(rename.newPath);
                if (!holder || *holder == rename.entry || movedAwayFolded.contains(foldedKey(rename.newPath)))
                    return;
            } else if (!taken.holds(rename, renamesIn.value(rename.folder()))) {
                return;
            }
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
};

} // namespace

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

TableCheck checkNamingTable(const QList<NamingTableRow> &rows, const QString &workbookPath, const QString &recordsFolder)
{
    return Checker(rows, workbookPath, recordsFolder).run();
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
