#include "rename/run_restore.h"

#include "rename/recorded_run.h"
#include "rename/run_claims.h"

#include <algorithm>
#include <utility>

namespace {

QString parentOf(const QString &path)
{
    return path.left(path.lastIndexOf(u'/'));
}

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// Where putting a run's entries right takes each: back to its path before
// the run (undo, recovery), or on to where the run's last step puts it (a
// restore cut off, carried through).
enum class Toward { OldPaths, LastPaths };

QString targetOf(const LocatedEntry &entry, Toward toward)
{
    return toward == Toward::OldPaths ? entry.originalPath : entry.expectedPath;
}

RestoreOutcome restoreOutcomeOf(const LocatedEntry &entry, RestoreStatus status, Toward toward)
{
    return {status, entry.found() ? entry.currentPath : entry.expectedPath, nameOf(targetOf(entry, toward)), {}};
}

// A file a cut left under two names keeps, going on, the name it was being
// moved to; the name it came from is the second one to go.
LocatedEntry keepingItsLastName(LocatedEntry entry)
{
    for (QString &secondName : entry.secondNames) {
        if (nameOf(secondName) == nameOf(entry.expectedPath)) {
            std::swap(secondName, entry.currentPath);
            break;
        }
    }
    return entry;
}

RestoreResult putEntries(const RunRecord &record, const QList<LocatedEntry> &located, Toward toward,
                         const QString &restoredRecord, const QString &folder, WorkControl *control);

} // namespace

qsizetype RestoreResult::restoredCount() const
{
    return std::count_if(outcomes.cbegin(), outcomes.cend(),
                         [](const RestoreOutcome &outcome) { return outcome.status == RestoreStatus::Restored; });
}

RestoreResult restoreRun(const RunRecord &record, const QString &folder, WorkControl *control)
{
    return putEntries(record, locateRunEntries(record), Toward::OldPaths, record.fileName(), folder, control);
}

RestoreResult finishRestoreRun(const RunRecord &restore, const QString &folder, WorkControl *control)
{
    return putEntries(restore, locateRunEntries(restore), Toward::LastPaths, restore.restores, folder, control);
}

namespace {

RestoreResult putEntries(const RunRecord &record, const QList<LocatedEntry> &located, Toward toward,
                         const QString &restoredRecord, const QString &folder, WorkControl *control)
{
    QList<LocatedEntry> entries = located;
    if (toward == Toward::LastPaths)
        std::transform(entries.begin(), entries.end(), entries.begin(), keepingItsLastName);
    QList<RestoringRename> renames;
    QList<qsizetype> entryOfRename;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LocatedEntry &entry = entries[i];
        const QString target = nameOf(targetOf(entry, toward));
        if (entry.found() && nameOf(entry.currentPath) != target) {
            renames.append({parentOf(entry.currentPath) + u'/', nameOf(entry.currentPath), target, entry.entry});
            entryOfRename.append(i);
        }
    }

    RestoreResult result;
    const RenamePlan plan = planRestoringRenames(renames);
    RecordedRun run(plan, folder, RunKind::Restore, restoredRecord, record.workbook);
    FileResult recordWritten = run.write();
    if (recordWritten.ok())
        recordWritten = run.waitUntilDurable();
    if (!recordWritten.ok()) {
        result.recordFailure = recordWritten.error();
        return result;
    }

    // Before any rename: a restored entry may need the name a claim or a
    // second link holds. The claims lie where the run's own paths say.
    removeLeftClaims(record, located);
    QList<std::optional<RenameFailure>> secondNameLeft(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        for (const QString &secondName : entries[i].secondNames) {
            if (const RenameResult removed = removeSecondLink(secondName, entries[i].currentPath); !removed.ok())
                secondNameLeft[i] = removed.error();
        }
    }
    const QList<RowOutcome> &renamed = run.carryOut(control);
    run.settle();
    result.stopped = run.stopped();

    QList<std::optional<RowOutcome>> outcomeOfEntry(entries.size());
    for (qsizetype i = 0; i < renamed.size(); ++i)
        outcomeOfEntry[entryOfRename[i]] = renamed[i];
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LocatedEntry &entry = entries[i];
        if (!entry.changedSincePath.isEmpty()) {
            // Under its old name it needs nothing, changed or not.
            if (entry.renamed()) {
                RestoreOutcome outcome = restoreOutcomeOf(entry, RestoreStatus::ChangedSince, toward);
                outcome.currentPath = entry.changedSincePath;
                result.outcomes.append(outcome);
            }
            continue;
        }
        if (!entry.found()) {
            result.outcomes.append(restoreOutcomeOf(entry, entry.replaced ? RestoreStatus::Replaced : RestoreStatus::Gone, toward));
            continue;
        }
        if (const std::optional<RenameFailure> &left = secondNameLeft[i]) {
            RestoreOutcome outcome = restoreOutcomeOf(entry, RestoreStatus::Failed, toward);
            outcome.engineOutcome.problem = RowProblem::RenameFailed;
            outcome.engineOutcome.details = *left;
            result.outcomes.append(outcome);
            continue;
        }
        if (!outcomeOfEntry[i]) {
            if (!entry.secondNames.isEmpty())
                result.outcomes.append(restoreOutcomeOf(entry, RestoreStatus::Restored, toward));
            continue;
        }
        const RowOutcome &row = *outcomeOfEntry[i];
        RestoreOutcome outcome = restoreOutcomeOf(entry, RestoreStatus::Restored, toward);
        if (row.status() == RowStatus::FailedByOtherRow) {
            outcome.status = RestoreStatus::KeptWithOthers;
        } else if (row.status() == RowStatus::NotRun) {
            outcome.status = RestoreStatus::NotRun;
        } else if (row.status() != RowStatus::Renamed) {
            outcome.status = row.error() == RenameError::TargetExists ? RestoreStatus::NameTaken : RestoreStatus::Failed;
            outcome.engineOutcome = row;
        }
        result.outcomes.append(outcome);
    }
    return result;
}

} // namespace

bool isUndone(const RunRecord &record, const QList<RunRecord> &records)
{
    return std::any_of(records.cbegin(), records.cend(), [&](const RunRecord &other) {
        return other.kind == RunKind::Restore && other.restores == record.fileName() &&
               (other.end == RunEnd::Ended || (other.end == RunEnd::Running && other.processRunning())) &&
               !isUndone(other, records);
    });
}

std::optional<RunRecord> lastUndoableRun(const QList<RunRecord> &records)
{
    for (const RunRecord &record : records) {
        if (record.kind == RunKind::Step3 && record.end != RunEnd::Running && record.renamedEntries > 0 &&
            !isUndone(record, records))
            return record;
    }
    return std::nullopt;
}
