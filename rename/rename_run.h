#pragma once

#include "work/work_control.h"
#include "rename/rename_plan.h"

#include <QList>

// Carries out the plan's system renames (RenamePlan::forEachStepOf) in order,
// each without ever replacing an existing entry, and returns the plan's
// outcomes as they then stand: a rename that fails fails its row, and the
// next unit follows. Right before each rename, the entry at the path it
// renames must still be the one the plan identified (PlannedRename::entry);
// if another stands there, that rename fails as NotThePlannedEntry and
// nothing is renamed for it. Renames already done stay done, except in a unit through
// a temporary name (a cycle, or a change of letter case alone): one that
// cannot be completed is undone step by step in reverse, and all its rows
// fail; should an undo fail too, the undoing stops there, the rows
// still renamed are reported renamed, and the row of an entry left under its
// temporary name gives that name. Every entry always keeps exactly one name.
// With `control`, the run reports its progress there and, once asked to stop,
// carries out no further unit: the rows of the units left are NotRun.
QList<RowOutcome> carryOutRenamePlan(const RenamePlan &plan, WorkControl *control = nullptr);
