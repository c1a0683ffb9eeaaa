#pragma once

#include "rename/located_entry.h"
#include "rename/run_record_format.h"

#include <QList>

// On a share without the no-replace rename, a folder or a link moves onto a
// claim (renameByReservation): an empty folder or file made at its new path
// first, its path written to the run's record right before. A run cut off
// between the claim and the rename leaves the claim standing, unused, or in
// the way of an entry's old name: of a folder that stepped aside in a swap,
// say, whose contents would otherwise stay under the temporary name.

// Removes the claims `run` (its steps read) left, when it was cut off (no
// end written); a run that ended took its own claims away or used them, and
// nothing is done for it. `entries` are its entries as locateRunEntries found
// them, which tells where the folders above a claim stand now. Only a path a
// "claim" line of the record names goes, and only while it is a step's new
// path whose entry the run knows, holds none of the run's entries, and holds
// an empty entry: the one a "claimed" line names for that path, where the
// record has such lines, or else one made after the run began
// (removeLeftClaim). A claim someone has written into stays; an entry that
// needs its name back is then reported as finding it taken. Returns how many
// went.
qsizetype removeLeftClaims(const RunRecord &run, const QList<LocatedEntry> &entries);
