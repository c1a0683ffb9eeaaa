#pragma once

#include "rename/row_outcome.h"

#include <QList>

// Carries out the rows' renames in a child process that writes the run's
// record into runRecordsFolder() and then ends before the record's end line,
// as a run cut off by a crash leaves it. True when the child ran to that
// point; the current test fails otherwise.
bool leaveRunCutOffAfterItsRenames(const QList<NamingTableRow> &rows);
