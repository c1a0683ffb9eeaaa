#include "rename/run_restore.h"

#include "rename/recorded_run.h"
#include "rename/run_claims.h"
#include "rename/run_survey.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

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

// The renames that take each found entry to its target, and for each the
// index of the entry it moves.
struct RenamesToMake {
    QList<RestoringRename> renames;
    QList<qsizetype> entryOfRename;
};

RenamesToMake renamesToMake(const QList<LocatedEntry> &entries, Toward toward)
{
    RenamesToMake made;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const LocatedEntry &entry = entries[i];
        const QString target = nameOf(targetOf(entry, toward));
        if (entry.found() && nameOf(entry.currentPath) != target) {
            made.renames.append({parentOf(entry.currentPath) + u'/', nameOf(entry.currentPath), target, entry.entry});
            made.entryOfRename.append(i);
        }
    }
    return made;
}

// Writes the restore's own record and waits until it is durable.
FileResult recordDurably(RecordedRun &run)
{
    FileResult recordWritten = run.write();
    if (recordWritten.ok())
        recordWritten = run.waitUntilDurable();
    return recordWritten;
}

// Before any rename: a restored entry may need the name a claim or a second
// link holds. The claims lie where the run's own paths say (`located`).
// Returns, for each of `entries`, why a second name of it stayed, if one did.
QList<std::optional<RenameFailure>> clearTheWay(const RunRecord &record, const QList<LocatedEntry> &located,
                                                const QList<LocatedEntry> &entries)
{
    removeLeftClaims(record, located);
    QList<std::optional<RenameFailure>> secondNameLeft(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        for (const QString &secondName : entries[i].secondNames) {
            if (const RenameResult removed = removeSecondLink(secondName, entries[i].currentPath); !removed.ok())
                secondNameLeft[i] = removed.error();
        }
    }
    return secondNameLeft;
}

// What became of `entry`, from its second name left (if any) and its
// rename's outcome (none when it had no rename); nothing to report for an
// entry that needed nothing.
std::optional<RestoreOutcome> outcomeOf(const LocatedEntry &entry, const std::optional<RenameFailure> &secondNameLeft,
                                        const std::optional<RowOutcome> &renamed, Toward toward)
{
    if (!entry.changedSincePath.isEmpty()) {
        // Under its old name it needs nothing, changed or not.
        if (!entry.renamed())
            return std::nullopt;
        RestoreOutcome outcome = restoreOutcomeOf(entry, RestoreStatus::ChangedSince, toward);
        outcome.currentPath = entry.changedSincePath;
        return outcome;
    }
    if (!entry.found())
        return restoreOutcomeOf(entry, entry.replaced ? RestoreStatus::Replaced : RestoreStatus::Gone, toward);
    if (secondNameLeft) {
        RestoreOutcome outcome = restoreOutcomeOf(entry, RestoreStatus::Failed, toward);
        outcome.engineOutcome.problem = RowProblem::RenameFailed;
        outcome.engineOutcome.details = *secondNameLeft;
        return outcome;
    }
    if (!renamed) {
        if (entry.secondNames.isEmpty())
            return std::nullopt;
        return restoreOutcomeOf(entry, RestoreStatus::Restored, toward);
    }
    const RowOutcome &row = *renamed;
    RestoreOutcome outcome = restoreOutcomeOf(entry, RestoreStatus::Restored, toward);
    if (row.status() == RowStatus::FailedByOtherRow) {
        outcome.status = RestoreStatus::KeptWithOthers;
    } else if (row.status() == RowStatus::NotRun) {
        outcome.status = RestoreStatus::NotRun;
    } else if (row.status() != RowStatus::Renamed) {
        outcome.status = row.error() == RenameError::TargetExists ? RestoreStatus::NameTaken : RestoreStatus::Failed;
        outcome.engineOutcome = row;
    }
    return outcome;
}

RestoreResult putEntries(const RunRecord &record, const QList<LocatedEntry> &located, Toward toward,
                         const QString &restoredRecord, const QString &folder, WorkControl *control)
{
    QList<LocatedEntry> entries = located;
    if (toward == Toward::LastPaths)
        std::transform(entries.begin(), entries.end(), entries.begin(), keepingItsLastName);
    const RenamesToMake toMake = renamesToMake(entries, toward);

    RestoreResult result;
    const RenamePlan plan = planRestoringRenames(toMake.renames);
    RecordedRun run(plan, folder, RunKind::Restore, restoredRecord, record.workbook);
    if (const FileResult recorded = recordDurably(run); !recorded.ok()) {
        result.recordFailure = recorded.error();
        return result;
    }

    const QList<std::optional<RenameFailure>> secondNameLeft = clearTheWay(record, located, entries);
    const QList<RowOutcome> &renamed = run.carryOut(control);
    run.settle();
    result.stopped = run.stopped();

    QList<std::optional<RowOutcome>> outcomeOfEntry(entries.size());
    for (qsizetype i = 0; i < renamed.size(); ++i)
        outcomeOfEntry[toMake.entryOfRename[i]] = renamed[i];
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (std::optional<RestoreOutcome> outcome = outcomeOf(entries[i], secondNameLeft[i], outcomeOfEntry[i], toward))
            result.outcomes.append(*outcome);
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
