#include "steps/step_three_job.h"

#include "rename/recorded_run.h"
#include "rename/run_lock.h"
#include "steps/batch_rename_report.h"
#include "steps/hidden_rows_choice.h"
#include "steps/naming_table_read.h"
#include "steps/run_record_texts.h"
#include "steps/sheet_failure_texts.h"
#include "steps/standby_office.h"
#include "steps/table_check_texts.h"

#include <algorithm>

namespace {

StepEnd messageOnly(const QString &message)
{
    return {.messages = {message}};
}

// What a run stopped by the user did: the rows carried out, and how many of
// the planned renames were done.
StepEnd stoppedRunEnd(const QList<NamingTableRow> &rows, const QList<RowOutcome> &outcomes, qsizetype planned)
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
    return {.renamed = listed,
            .countText = processedCountText(listed.size()),
            .messages = {QStringLiteral("已取消：%1 / %2 个文件已更名；可以用【撤销更名】恢复").arg(renamed).arg(planned)}};
}

// Step 3's second half, for the rows chosen; `checked` is their plan when
// the check made it of exactly these rows a moment before.
StepEnd renameRows(const QList<NamingTableRow> &rows, const QString &workbookPath, const ListedEntries *listedEntries,
                   WorkControl &work, const std::shared_ptr<const RenamePlan> &checked)
{
    if (!holdsNewNames(rows))
        return messageOnly(noNewNamesMessage());
    // Held from the plan, which reads the entries, until the record is settled.
    const RunLock lock(runRecordsFolder());
    if (lock.takenByAnother())
        return messageOnly(anotherRunUnderWayMessage());
    const RenamePlan plan = checked ? *checked : planNamingTableRenames(rows, workbookPath, listedEntries);
    RecordedRun run(plan, runRecordsFolder(), RunKind::Step3, QString(), workbookPath);
    if (const FileResult written = run.write(); !written.ok())
        return messageOnly(recordFailureMessage(written.error()));
    // Made while the disk takes the record; shown only once it holds it.
    const QStringList listed = renamedFilesListEntries(rows);
    if (const FileResult durable = run.waitUntilDurable(); !durable.ok())
        return messageOnly(recordFailureMessage(durable.error()));
    const QList<RowOutcome> &outcomes = run.carryOut(&work);
    StepEnd end = run.stopped()
                      ? stoppedRunEnd(rows, outcomes, plan.renames.size())
                      : StepEnd{.renamed = listed,
                                .countText = rows.isEmpty() ? std::nullopt : std::optional(processedCountText(listed.size())),
                                .messages = {finalMessage(outcomes)}};
    run.settle();
    return end;
}

} // namespace

QString stepThreeCancelledText()
{
    return QStringLiteral("已取消，没有文件被更名");
}

StepThreeJob::StepThreeJob(QString path, std::function<Table()> read, StandbyOffice *waiting, bool mayBeLetGo,
                           std::shared_ptr<const ListedEntries> listed)
    : workbookPath(std::move(path))
    , readTable(std::move(read))
    , standby(waiting)
    , readMayBeLetGo(mayBeLetGo)
    , listedEntries(std::move(listed))
{
}

StepThreeJob::StepThreeJob(StandbyOffice &waiting, QString path, AskUnsavedChanges askUnsaved,
                           std::function<void()> awaitReadsLetGo, std::shared_ptr<const ListedEntries> listed)
    : StepThreeJob(
          path,
          [this, &waiting, path, askUnsaved = std::move(askUnsaved), awaitReadsLetGo = std::move(awaitReadsLetGo)] {
              if (awaitReadsLetGo)
                  awaitReadsLetGo();
              return readThroughStandby(waiting, path, askUnsaved, work);
          },
          &waiting, true, std::move(listed))
{
}

StepThreeJob::StepThreeJob(SpreadsheetReader &office, QString path)
    : StepThreeJob(path, [&office, path] { return tableOf(readNamingTable(office, path), path); }, nullptr, false, {})
{
}

StepThreeJob::StepThreeJob(QList<NamingTableRow> rows, QString path, std::shared_ptr<const ListedEntries> listed)
    : StepThreeJob(path, [rows = std::move(rows)] { return Table{rows, QString()}; }, nullptr, false, std::move(listed))
{
}

StepThreeJob::Table StepThreeJob::tableOf(const NamingTableRead &read, const QString &workbookPath)
{
    switch (read.outcome) {
    case NamingTableRead::Outcome::Rows: return {read.rows, QString()};
    case NamingTableRead::Outcome::NotATable: return {std::nullopt, notANamingTableMessage(workbookPath)};
    case NamingTableRead::Outcome::Stopped: return {std::nullopt, stepThreeCancelledText()};
    case NamingTableRead::Outcome::Failed: break;
    }
    return {std::nullopt, QStringLiteral("无法读取命名表，没有文件被更名：%1").arg(read.failure)};
}

StepThreeJob::Table StepThreeJob::readThroughStandby(StandbyOffice &standby, const QString &workbookPath,
                                                     const AskUnsavedChanges &askUnsaved, const WorkControl &work)
{
    // The saved file is all step 3 can read; names typed since would be
    // silently left out.
    if (askUnsaved && askUnsaved(workbookPath).value_or(false))
        return {std::nullopt, unsavedChangesMessage()};
    if (work.stopRequested())
        return {std::nullopt, stepThreeCancelledText()};
    if (std::optional<QList<NamingTableRow>> rows = standby.tableReadAhead(workbookPath))
        return {std::move(rows), QString()};
    SheetResult<std::unique_ptr<SpreadsheetReader>> started = standby.take();
    if (!started.ok())
        return {std::nullopt, QStringLiteral("无法启动 LibreOffice Calc，没有文件被更名：%1").arg(sheetFailureText(started.error()))};
    SpreadsheetReader &office = *started.value();
    const NamingTableRead read = readNamingTable(office, workbookPath, &work);
    bestEffort(office.quit());
    return tableOf(read, workbookPath);
}

void StepThreeJob::run()
{
    if (phase == Phase::Renaming)
        return rename();
    table = readTable();
    // A read let go of ends here: the step has been reported as stopped.
    if (!table.rows || work.stopRequested())
        return;
    check = checkNamingTable(*table.rows, workbookPath, runRecordsFolder(), listedEntries.get());
    const std::optional<QString> hiddenQuestion = hiddenRowsQuestion(*table.rows);
    const bool onlyHiddenRows = check.failing() == 0 && check.countOf(CheckProblem::ExtensionChanged) == 0 &&
                                check.doneByLastRun.isEmpty();
    if (onlyHiddenRows && hiddenQuestion) {
        asked = Asked::HiddenRows;
        asking = JobQuestion{{}, *hiddenQuestion};
    } else if (!onlyHiddenRows) {
        // Counted from the rows: a hidden row may be told under another problem.
        const qsizetype hiddenNamed = hiddenRowsNamed(*table.rows);
        asked = Asked::PartialRun;
        const QStringList choices = partialRunChoices(hiddenNamed > 0);
        asking = JobQuestion{{}, partialRunQuestion(check, hiddenNamed), choices, int(choices.size() - 1)};
    }
    if (asking) {
        phase = Phase::Asking;
        return;
    }
    rename();
}

void StepThreeJob::rename()
{
    phase = Phase::Renaming;
    if (wentBack) {
        // The user edits the table: the office stands by for the next save.
        if (standby)
            standby->prepare(workbookPath, listedEntries);
        phase = Phase::Ended;
        return;
    }
    // The check's plan holds while no row was left out and nobody was asked;
    // should an entry change in the moment since, the run refuses to rename
    // any entry other than the one planned.
    const std::shared_ptr<const RenamePlan> checked = asking ? nullptr : check.plan;
    check.plan.reset();
    ended = renameRows(*table.rows, workbookPath, listedEntries.get(), work, checked);
    // Its rows have been used; it would only start reading the next save.
    if (standby)
        standby->quitWaitingOffice();
    phase = Phase::Ended;
}

std::optional<JobQuestion> StepThreeJob::question()
{
    if (phase != Phase::Asking)
        return std::nullopt;
    return asking;
}

void StepThreeJob::answer(int choice)
{
    // Asked before the lock: no other run need wait while the user thinks.
    if (asked == Asked::HiddenRows) {
        if (choice != answeredYes)
            table.rows = rowsTheSheetShows(*table.rows);
    } else if (choice == asking->defaultChoice) {
        wentBack = true;
    } else {
        table.rows = rowsNotDone(*table.rows, check);
        if (asking->choices.size() > 2 && choice == 1)
            table.rows = rowsTheSheetShows(*table.rows);
    }
    phase = Phase::Renaming;
}

StepEnd StepThreeJob::end()
{
    switch (phase.load()) {
    case Phase::Reading:
        // Stopped while reading: the read may still run, let go of.
        if (work.stopRequested())
            return messageOnly(stepThreeCancelledText());
        return messageOnly(table.message);
    case Phase::Asking: return messageOnly(stepThreeCancelledText());
    case Phase::Renaming:
    case Phase::Ended: break;
    }
    return ended;
}

StepProgress StepThreeJob::progress() const
{
    // Once stopped, the renames end at the next unit; a progress that still
    // shows after that waits for a rename call that has not come back.
    if (phase == Phase::Renaming && work.stopRequested())
        return {QStringLiteral("正在等待共享文件夹响应…已更名的文件可以用【撤销更名】恢复")};
    const qint64 planned = work.total();
    if (phase != Phase::Renaming || planned == 0)
        return {QStringLiteral("正在读取命名表…")};
    const qint64 done = work.done();
    return {QStringLiteral("正在更名：%1 / %2").arg(done).arg(planned), done, planned};
}

bool StepThreeJob::letGoWhenStopped() const
{
    return readMayBeLetGo && phase == Phase::Reading;
}

QString StepThreeJob::endedWithoutWaitingText() const
{
    if (phase != Phase::Renaming)
        return {};
    return QStringLiteral("共享文件夹没有响应，批量更名停在中途，程序不再等待。下次启动本程序时，已更名的文件可以恢复原名。");
}
