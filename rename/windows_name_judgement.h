#pragma once

#include "rename/rename_plan.h"

// Refuses, before anything moves, the planned renames whose new names
// Windows cannot use, in folders whose file system is made for Windows (see
// FileSystemKinds; each folder is looked up once): the rule broken is set as
// the row's problem (NewNameBreaksWindowsRule) and the rename leaves
// `plan.renames`. A new name that differs only in letter case from an entry
// that stays in the folder, or from the new name of an earlier row of the
// folder, is refused too; an entry stays unless a rename still planned moves
// it away. Folders on Linux file systems, and folders that cannot be looked
// up, are left to the renames themselves. Reads the listing of each folder
// made for Windows; changes nothing on disk.
void refuseNamesWindowsCannotUse(RenamePlan &plan);
