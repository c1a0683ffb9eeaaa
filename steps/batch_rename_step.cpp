#include "steps/batch_rename_step.h"

#include "rename/recorded_run.h"
#include "rename/run_lock.h"
#include "steps/batch_rename_report.h"
#include "steps/hidden_rows_choice.h"
#include "steps/naming_table_read.h"
#include "steps/run_record_texts.h"
#include "steps/standby_office.h"

namespace {

void renameInStartedOffice(SheetResult<std::unique_ptr<SpreadsheetReader>> started, const QString &workbookPath,
                           BatchRenameView &view)
{
    if (!started.ok())
        return view.showMessage(QStringLiteral("无法启动 LibreOffice Calc，没有文件被更名：%1").arg(started.error()));
    SpreadsheetReader &office = *started.value();
    readTableAndRename(office, workbookPath, view);
    bestEffort(office.quit());
}

} // namespace

void runStepThree(StandbyOffice &standby, const QString &workbookPath, BatchRenameView &view,
                  const AskUnsavedChanges &askUnsaved)
{
    // The saved file is all step 3 can read; names typed since would be
    // silently left out.
    if (askUnsaved && askUnsaved(workbookPath).value_or(false))
        return view.showMessage(unsavedChangesMessage());
    if (const std::optional<QList<NamingTableRow>> rows = standby.tableReadAhead(workbookPath)) {
        renameReadRows(*rows, workbookPath, view);
        standby.quitWaitingOffice();
        return;
    }
    renameInStartedOffice(standby.take(), workbookPath, view);
}

void readTableAndRename(SpreadsheetReader &office, const QString &workbookPath, BatchRenameView &view)
{
    const SheetResult<NamingTableContent> table = readNamingTable(office, workbookPath);
    if (!table.ok())
        return view.showMessage(QStringLiteral("无法读取命名表，没有文件被更名：%1").arg(table.error()));
    if (!table.value())
        return view.showMessage(notANamingTableMessage(workbookPath));
    renameReadRows(*table.value(), workbookPath, view);
}

void renameReadRows(const QList<NamingTableRow> &tableRows, const QString &workbookPath, BatchRenameView &view)
{
    // Asked before the lock: no other run need wait while the user thinks.
    const QList<NamingTableRow> rows =
        rowsChosenToRename(tableRows, [&view](const QString &question) { return view.askYesNo(question); });
    if (!holdsNewNames(rows))
        return view.showMessage(noNewNamesMessage());
    // Held from the plan, which reads the entries, until the record is settled.
    const RunLock lock(runRecordsFolder());
    if (lock.takenByAnother())
        return view.showMessage(anotherRunUnderWayMessage());
    const RenamePlan plan = planNamingTableRenames(rows, workbookPath);
    RecordedRun run(plan, runRecordsFolder(), RunKind::Step3, QString(), workbookPath);
    if (const FileResult written = run.write(); !written.ok())
        return view.showMessage(recordFailureMessage(written.error()));
    // Made while the disk takes the record; shown only once it holds it.
    const QStringList listed = renamedFilesListEntries(rows);
    if (const FileResult durable = run.waitUntilDurable(); !durable.ok())
        return view.showMessage(recordFailureMessage(durable.error()));
    view.appendRenamedNames(listed);
    if (!rows.isEmpty())
        view.setCountText(processedCountText(listed.size()));
    view.showMessage(finalMessage(run.carryOut()));
    run.settle();
}
