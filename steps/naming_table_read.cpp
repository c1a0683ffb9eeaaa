#include "steps/naming_table_read.h"

#include "sheet/naming_table_layout.h"

SheetResult<QList<NamingTableRow>> readNamingTable(Spreadsheet &office, const QString &workbookPath)
{
    using Rows = SheetResult<QList<NamingTableRow>>;
    // Read-only: the table may rename the workbook itself, or another file to
    // its name, and the user may save it meanwhile; whatever stands at its
    // path must stay as it is.
    const SheetStatus opened = office.openWorkbookForReading(workbookPath);
    if (!opened.ok())
        return Rows::failure(opened.error());
    const SheetResult<UsedExtent> extent = office.usedExtent();
    if (!extent.ok())
        return Rows::failure(extent.error());

    using namespace NamingTable;
    if (extent.value().rows < firstDataRow)
        return Rows::success({});
    const SheetResult<CellTextRows> block =
        office.readTextBlock({firstDataRow, folderColumn, extent.value().rows, newNameColumn});
    if (!block.ok())
        return Rows::failure(block.error());
    return Rows::success(namingTableRows(block.value(), firstDataRow));
}
