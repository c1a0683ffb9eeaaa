#pragma once

#include "rename/entry_identity.h"
#include "rename/run_record_format.h"

#include <QList>
#include <QString>
#include <QStringList>

// Where an entry of a recorded run stands now. The run needs no write per
// rename: an entry is looked for by its device and inode at each path the
// run could have left it (its last new path, a temporary name, its old path),
// with the folders above it as the run's own renames left them. Where the
// file system keeps birth times, an entry made after the run began is not
// taken for one of the run's, even with the same inode. Where it does not,
// an entry whose status changed after the run's end cannot be told from a
// new file that got the inode, and is not taken for the run's either, unless
// the program's own later runs (a later step 3, an undo, as the records
// beside the run's record tell) renamed it, or an entry inside it, and it has
// not changed since the last of them ended; a change made before such a
// later rename is hidden by it. A run cut off before its end has no known
// end, so there the device and inode alone decide, as they always did.
struct LocatedEntry {
    qint64 rowNumber = 0;
    EntryId entry;
    // The path the entry had before the run.
    QString originalPath;
    // Where the run put it last.
    QString expectedPath;
    // Where it stands now, or empty when it is at none of those paths.
    QString currentPath;
    // The entry was not found and another entry stands at `expectedPath`.
    bool replaced = false;
    // Other paths the run gave the entry that hold it too: a file whose move
    // by link was cut off between the link and the removal of the name
    // before. Should the entry's old path be one of them, `currentPath` is
    // that old path, and the entry is back once these names are gone.
    QStringList secondNames;
    // Not found: where an entry with its device and inode stands whose status
    // changed after the run (see above); empty otherwise.
    QString changedSincePath;

    bool found() const { return !currentPath.isEmpty(); }
    // Found, under another name than before the run, or under a second name;
    // or changed since, under another name.
    bool renamed() const;
    // Found, and to be renamed to be back under its old name.
    bool awayFromOldName() const;
    // Found, and not yet only under the name the run's last step gives it:
    // what a restore cut off before that step left (finishRestoreRun).
    bool shortOfLastPath() const;
};

// Every entry of the steps of `run` (read, in execution order), in the order
// of their first step. Entries that could not be identified when the run was
// planned are left out.
QList<LocatedEntry> locateRunEntries(const RunRecord &run);
