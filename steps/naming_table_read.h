#pragma once

#include "rename/row_outcome.h"
#include "sheet/spreadsheet_reader.h"
#include "work/work_control.h"

#include <QList>
#include <QString>

// What reading the naming table came to. A stopped read is an outcome of its
// own, never a failure: it carries no reason, as nothing went wrong.
struct NamingTableRead {
    enum class Outcome {
        Rows, // `rows` holds the table's data rows (possibly none)
        NotATable, // row 1 of the first sheet does not hold the table's header in B to D
        Failed, // `failure` holds the office's reason, in the user's words
        Stopped, // stopped on request before the last block of rows
    };
    Outcome outcome = Outcome::Failed;
    QList<NamingTableRow> rows = {};
    QString failure = {};
};

// The naming table on the first sheet of the workbook saved at
// `workbookPath`, which `office` opens read-only and keeps open, each row
// marked hidden when the sheet does not show its new name. A sheet whose row
// 1 does not hold the table's header is no naming table, whatever its other
// rows hold. With `control`, the rows are read in blocks small enough to take
// the office well under a second each, and a stop asked for there is
// honoured before each block; without it the cells are read in one call.
NamingTableRead readNamingTable(SpreadsheetReader &office, const QString &workbookPath,
                                const WorkControl *control = nullptr);
