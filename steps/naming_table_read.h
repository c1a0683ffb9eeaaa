#pragma once

#include "rename/batch_rename.h"
#include "sheet/spreadsheet.h"

#include <QList>
#include <QString>

// The naming table's rows as saved at `workbookPath`, which `office` opens
// read-only and keeps open. On failure the reason, and no rows.
SheetResult<QList<NamingTableRow>> readNamingTable(Spreadsheet &office, const QString &workbookPath);
