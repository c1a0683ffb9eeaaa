#pragma once

#include "rename/planned_rename.h"
#include "rename/row_outcome.h"

#include <QList>

// Refuses, before anything moves, the planned renames whose new names
// Windows cannot use, in folders whose file system is made for Windows (see
// FileSystemKinds; each folder is looked up once): the rule broken is set as
// the problem (NewNameBreaksWindowsRule) of the rename's outcome in
// `outcomes`, and the rename leaves `renames`. A new name that differs only
// in letter case from an entry that stays in the folder, or from the new
// name of an earlier row of the folder, is refused too; an entry stays
// unless a rename still planned moves it away. Folders on Linux file
// systems, and folders that cannot be looked up, are left to the renames
// themselves. Reads the listing of each folder made for Windows; changes
// nothing on disk.
void refuseNamesWindowsCannotUse(QList<PlannedRename> &renames, QList<RowOutcome> &outcomes);
