#pragma once

#include "rename/run_restore.h"

#include <QList>

// On a share without the no-replace rename, a folder or a link moves onto a
// claim (renameByReservation): an empty folder or file made at its new path
// first. A run cut off between the two leaves the claim standing, unused, or
// in the way of an entry's old name: of a folder that stepped aside in a swap,
// say, whose contents would otherwise stay under the temporary name.

// Removes the claims `run` may have left, when it was cut off (no end
// written); a run that ended took its own claims away or used them, and does
// nothing here. `entries` are its entries as locateRunEntries found them. A
// claim is an entry at a path a step of the run was to give its entry, that
// is none of the run's entries, and that is empty and made after the run
// began (removeLeftClaim). Paths of steps whose entry could not be identified
// are passed over: the entry moved there would be none the run knows. An
// entry someone has written into stays, and an entry that needs that name
// back is then reported as finding it taken. Returns how many went.
qsizetype removeLeftClaims(const RunRecord &run, const QList<LocatedEntry> &entries);
