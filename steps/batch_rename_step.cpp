#include "steps/batch_rename_step.h"

#include "rename/recorded_run.h"
#include "steps/naming_table_read.h"
#include "steps/run_record_texts.h"
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
    bestEffort(office.quit());
}

void runBatchRename(StandbyOffice &standby, const QString &workbookPath, BatchRenameView &view)
{
    if (const std::optional<QList<NamingTableRow>> rows = standby.tableReadAhead(workbookPath)) {
        renameRows(*rows, workbookPath, view);
        standby.quitWaitingOffice();
        return;
    }
    runBatchRename(standby.starter(), workbookPath, view);
}

void renameRows(const QList<NamingTableRow> &rows, const QString &workbookPath, BatchRenameView &view)
{
    const RecordedRun run = carryOutRecorded(
        planNamingTableRenames(rows, workbookPath), runRecordsFolder(), RunKind::Step3, QString(), workbookPath,
        [&] {
            const QStringList listed = renamedFilesListEntries(rows);
            view.appendRenamedNames(listed);
            if (!rows.isEmpty())
                view.setCountText(processedCountText(listed.size()));
        },
        [&](const QList<RowOutcome> &outcomes) { view.showMessage(finalMessage(outcomes)); });
    if (run.recordFailure)
        view.showMessage(recordFailureMessage(*run.recordFailure));
}

void renameFromWorkbook(Spreadsheet &office, const QString &workbookPath, BatchRenameView &view)
{
    const SheetResult<QList<NamingTableRow>> rows = readNamingTable(office, workbookPath);
    if (!rows.ok())
        return view.showMessage(QStringLiteral("无法读取命名表，没有文件被更名：%1").arg(rows.error()));
    renameRows(rows.value(), workbookPath, view);
}
