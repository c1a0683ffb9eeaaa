#pragma once

#include "rename/row_outcome.h"
#include "sheet/spreadsheet_reader.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The data rows of the naming table on a workbook's first sheet, or nothing
// when row 1 there does not hold the table's header in B to D: such a sheet
// is no naming table, whatever its other rows hold.
using NamingTableContent = std::optional<QList<NamingTableRow>>;

// The naming table as saved at `workbookPath`, which `office` opens
// read-only and keeps open, each row marked hidden when the sheet does not
// show its new name. On failure the reason, and no rows. With
// `stopRequested`, the rows are read in blocks small enough to take the
// office well under a second each, and it is asked before each: once it says
// yes, the read ends with no rows and an empty reason.
SheetResult<NamingTableContent> readNamingTable(SpreadsheetReader &office, const QString &workbookPath,
                                                const std::function<bool()> &stopRequested = {});
