#pragma once

#include <QList>
#include <QString>

#include <optional>

// The cells both spreadsheet ports speak of. Each port works on a running
// spreadsheet application holding at most one workbook of ours; every cell
// operation works on the workbook's first sheet. Each operation is bounded in
// time; a failure leaves the sheet as it was unless stated.

// Rows and columns count from 1, as the user sees them in the sheet.
struct CellRect {
    qint64 top = 1;
    qint64 left = 1;
    qint64 bottom = 1;
    qint64 right = 1;
};

// The last used row and column of a sheet, counted from A1.
struct UsedExtent {
    qint64 rows = 0;
    qint64 columns = 0;
};

// A cell read as text; empty when the cell holds no readable value (an error
// result such as #N/A). An empty cell reads as the empty text, not as empty.
using CellText = std::optional<QString>;
using CellTextRows = QList<QList<CellText>>;
