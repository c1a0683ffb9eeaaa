#include "steps/batch_rename_step.h"

#include "sheet/naming_table_layout.h"
#include "steps/standby_office.h"

void runBatchRename(const StartSpreadsheet &startHidden, const QString &workbookPath, BatchRenameView &view)
{
    auto started = startHidden();
    if (!started.ok()) {
        view.showMessage(QStringLiteral("无法启动 LibreOffice Calc，没有文件被更名：%1").arg(started.error()));
        return;
    }
    Spreadsheet &office = *started.value();
    renameFromWorkbook(office, workbookPath, view);
    office.quit();
}

void runBatchRename(StandbyOffice &standby, const QString &workbookPath, BatchRenameView &view)
{
    if (const std::optional<QList<NamingTableRow>> rows = standby.tableReadAhead(workbookPath)) {
        renameRows(*rows, view);
        standby.quitWaitingOffice();
        return;
    }
    runBatchRename(standby.starter(), workbookPath, view);
}

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

void renameRows(const QList<NamingTableRow> &rows, BatchRenameView &view)
{
    const QStringList listed = renamedFilesListEntries(rows);
    view.appendRenamedNames(listed);
    if (!rows.isEmpty())
        view.setCountText(processedCountText(listed.size()));
    const QList<RowOutcome> outcomes = renameFromNamingTable(rows);
    view.showMessage(finalMessage(outcomes));
}

void renameFromWorkbook(Spreadsheet &office, const QString &workbookPath, BatchRenameView &view)
{
    const SheetResult<QList<NamingTableRow>> rows = readNamingTable(office, workbookPath);
    if (!rows.ok())
        return view.showMessage(QStringLiteral("无法读取命名表，没有文件被更名：%1").arg(rows.error()));
    renameRows(rows.value(), view);
}
