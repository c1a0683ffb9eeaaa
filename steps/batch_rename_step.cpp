#include "steps/batch_rename_step.h"

#include "rename/batch_rename.h"
#include "sheet/naming_table_layout.h"

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

void renameFromWorkbook(Spreadsheet &office, const QString &workbookPath, BatchRenameView &view)
{
    const auto cannotRead = [&](const QString &why) {
        view.showMessage(QStringLiteral("无法读取命名表，没有文件被更名：%1").arg(why));
    };
    // Read-only: the table may rename the workbook itself, or another file to
    // its name, and the user may save it meanwhile; whatever stands at its
    // path must stay as it is.
    const SheetStatus opened = office.openWorkbookForReading(workbookPath);
    if (!opened.ok())
        return cannotRead(opened.error());
    const SheetResult<UsedExtent> extent = office.usedExtent();
    if (!extent.ok())
        return cannotRead(extent.error());

    using namespace NamingTable;
    QList<NamingTableRow> rows;
    if (extent.value().rows >= firstDataRow) {
        const SheetResult<CellTextRows> block =
            office.readTextBlock({firstDataRow, folderColumn, extent.value().rows, newNameColumn});
        if (!block.ok())
            return cannotRead(block.error());
        rows = namingTableRows(block.value(), firstDataRow);
    }

    const QStringList listed = renamedFilesListEntries(rows);
    view.appendRenamedNames(listed);
    if (!rows.isEmpty())
        view.setCountText(processedCountText(listed.size()));
    const QList<RowOutcome> outcomes = renameFromNamingTable(rows);
    view.showMessage(finalMessage(outcomes));
}
