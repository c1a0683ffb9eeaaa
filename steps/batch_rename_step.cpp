#include "steps/batch_rename_step.h"

#include "rename/recorded_run.h"
#include "rename/run_lock.h"
#include "steps/batch_rename_report.h"
#include "steps/hidden_rows_choice.h"
#include "steps/naming_table_read.h"
#include "steps/run_record_texts.h"
#include "steps/standby_office.h"

#include <algorithm>

namespace {

StepThreeTable noRows(const QString &message)
{
    return {std::nullopt, message};
}

StepThreeTable tableOf(const SheetResult<NamingTableContent> &table, const QString &workbookPath)
{
    if (!table.ok())
        return noRows(QStringLiteral("无法读取命名表，没有文件被更名：%1").arg(table.error()));
    if (!table.value())
        return noRows(notANamingTableMessage(workbookPath));
    return {table.value(), QString()};
}

StepThreeEnd messageOnly(const QString &message)
{
    return {{}, std::nullopt, message};
}

// What a run stopped by the user did: the rows carried out, and how many of
// the planned renames were done.
StepThreeEnd stoppedRunEnd(const QList<NamingTableRow> &rows, const QList<RowOutcome> &outcomes, qsizetype planned)
{
    QList<NamingTableRow> carriedOut;
    qsizetype renamed = 0;
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i].status() == RowStatus::NotRun)
            continue;
        carriedOut.append(rows[i]);
        renamed += outcomes[i].status() == RowStatus::Renamed ? 1 : 0;
    }
    if (renamed == 0)
        return messageOnly(stepThreeCancelledText());
    const QStringList listed = renamedFilesListEntries(carriedOut);
    return {listed, processedCountText(listed.size()),
            QStringLiteral("已取消：%1 / %2 个文件已更名；可以用【撤销更名】恢复").arg(renamed).arg(planned)};
}

} // namespace

void StepThreeEnd::showIn(BatchRenameView &view) const
{
    view.appendRenamedNames(listed);
    if (countText)
        view.setCountText(*countText);
    view.showMessage(message);
}

QString stepThreeCancelledText()
{
    return QStringLiteral("已取消，没有文件被更名");
}

void runStepThree(StandbyOffice &standby, const QString &workbookPath, BatchRenameView &view,
                  const AskUnsavedChanges &askUnsaved)
{
    const StepThreeTable table = readStepThreeTable(standby, workbookPath, askUnsaved);
    if (!table.rows)
        return view.showMessage(table.message);
    renameReadRows(*table.rows, workbookPath, view);
    standby.quitWaitingOffice();
}

StepThreeTable readStepThreeTable(StandbyOffice &standby, const QString &workbookPath,
                                  const AskUnsavedChanges &askUnsaved, const RenameControl *control)
{
    const auto stopRequested = [control] { return control && control->stopRequested(); };
    // The saved file is all step 3 can read; names typed since would be
    // silently left out.
    if (askUnsaved && askUnsaved(workbookPath).value_or(false))
        return noRows(unsavedChangesMessage());
    if (stopRequested())
        return noRows(stepThreeCancelledText());
    if (std::optional<QList<NamingTableRow>> rows = standby.tableReadAhead(workbookPath))
        return {std::move(rows), QString()};
    SheetResult<std::unique_ptr<SpreadsheetReader>> started = standby.take();
    if (!started.ok())
        return noRows(QStringLiteral("无法启动 LibreOffice Calc，没有文件被更名：%1").arg(started.error()));
    SpreadsheetReader &office = *started.value();
    const SheetResult<NamingTableContent> table = readNamingTable(office, workbookPath, stopRequested);
    bestEffort(office.quit());
    if (stopRequested())
        return noRows(stepThreeCancelledText());
    return tableOf(table, workbookPath);
}

void readTableAndRename(SpreadsheetReader &office, const QString &workbookPath, BatchRenameView &view)
{
    const StepThreeTable table = tableOf(readNamingTable(office, workbookPath), workbookPath);
    if (!table.rows)
        return view.showMessage(table.message);
    renameReadRows(*table.rows, workbookPath, view);
}

StepThreeEnd renameStepThreeRows(const QList<NamingTableRow> &rows, const QString &workbookPath, RenameControl *control)
{
    if (!holdsNewNames(rows))
        return messageOnly(noNewNamesMessage());
    // Held from the plan, which reads the entries, until the record is settled.
    const RunLock lock(runRecordsFolder());
    if (lock.takenByAnother())
        return messageOnly(anotherRunUnderWayMessage());
    const RenamePlan plan = planNamingTableRenames(rows, workbookPath);
    RecordedRun run(plan, runRecordsFolder(), RunKind::Step3, QString(), workbookPath);
    if (const FileResult written = run.write(); !written.ok())
        return messageOnly(recordFailureMessage(written.error()));
    // Made while the disk takes the record; shown only once it holds it.
    const QStringList listed = renamedFilesListEntries(rows);
    if (const FileResult durable = run.waitUntilDurable(); !durable.ok())
        return messageOnly(recordFailureMessage(durable.error()));
    const QList<RowOutcome> &outcomes = run.carryOut(control);
    StepThreeEnd end = run.stopped() ? stoppedRunEnd(rows, outcomes, plan.renames.size())
                                     : StepThreeEnd{listed, rows.isEmpty() ? std::nullopt : std::optional(processedCountText(listed.size())),
                                                    finalMessage(outcomes)};
    run.settle();
    return end;
}

void renameReadRows(const QList<NamingTableRow> &tableRows, const QString &workbookPath, BatchRenameView &view)
{
    // Asked before the lock: no other run need wait while the user thinks.
    const QList<NamingTableRow> rows =
        rowsChosenToRename(tableRows, [&view](const QString &question) { return view.askYesNo(question); });
    renameStepThreeRows(rows, workbookPath).showIn(view);
}
