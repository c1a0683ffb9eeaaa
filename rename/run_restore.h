#pragma once

#include "work/work_control.h"
#include "rename/located_entry.h"
#include "rename/rename_plan.h"
#include "rename/run_record_folder.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Restored: back under its old name. Gone: not found where the run left it
// and nothing else there. Replaced: another entry stands where the run left
// it. NameTaken: the old name is held by an entry that stays. KeptWithOthers:
// one of a cycle of entries that had to go back together, one of which could
// not. Failed: the rename failed otherwise (see `engineOutcome`).
// ChangedSince: an entry with its device and inode stands where the run could
// have left it, but changed after the run (LocatedEntry::changedSincePath),
// and is left alone. NotRun: the user stopped the restore before its turn;
// it can be restored later.
enum class RestoreStatus { Restored, Gone, Replaced, NameTaken, KeptWithOthers, Failed, ChangedSince, NotRun };

struct RestoreOutcome {
    RestoreStatus status = RestoreStatus::Restored;
    // Where the entry is, or where the run left it when it is not found.
    QString currentPath;
    QString originalName;
    // The rename engine's outcome for NameTaken and Failed.
    RowOutcome engineOutcome;
};

struct RestoreResult {
    // Set when the restore's own record could not be written; then nothing
    // was renamed.
    std::optional<FileFailure> recordFailure;
    // One per entry the run left under another name, in the order of the run.
    QList<RestoreOutcome> outcomes;
    // The user stopped the restore: some entries are NotRun, and its record
    // ends "stopped", so that the run restored stays to be undone.
    bool stopped = false;

    qsizetype restoredCount() const;
};

// Gives every entry of `record` (its steps read) that stands under another
// name its old name again, through the rename engine as a run of its own,
// recorded in `folder` as restoring `record`. Entries changed since are left
// alone and reported; nothing is ever replaced. Entries found under their old
// names need nothing and are not reported. A file's second names are taken
// away before any rename. With `control`, the renames report their progress
// there and stop when asked (see carryOutRenamePlan).
RestoreResult restoreRun(const RunRecord &record, const QString &folder, WorkControl *control = nullptr);

// Carries a restore that was cut off (`restore`, its steps read: an undo or
// a recovery killed half way) through to its end, as restoreRun would take
// it back: every entry of it found short of its last path
// (LocatedEntry::shortOfLastPath) gets the name the restore's last step
// gives it, in the folder where it stands, a file under two names keeping
// that one; claims the restore left go first. It runs as a run of its own,
// recorded in `folder` as restoring the record `restore` restores, so that
// once it ends that run counts as undone (isUndone), even when nothing was
// left to rename. Entries not found are reported as restoreRun reports
// them, with the name they were to get; a failed record is reported as by
// restoreRun, and nothing is renamed then.
RestoreResult finishRestoreRun(const RunRecord &restore, const QString &folder, WorkControl *control = nullptr);

// Whether a restore run that ended, or is still running, puts back the
// entries of `record`; a restore that was itself taken back does not count.
bool isUndone(const RunRecord &record, const QList<RunRecord> &records);

// The newest step-3 run that ended (or was found cut off), renamed any entry
// and is not undone: the one undo takes back. Nothing when there is none.
std::optional<RunRecord> lastUndoableRun(const QList<RunRecord> &records);
