#include "steps/step_session.h"

#include "search/directory_scan.h"
#include "steps/hidden_rows_choice.h"
#include "steps/scan_step.h"
#include "steps/undo_step.h"

#include <QLocale>
#include <QThread>

#include <atomic>
#include <chrono>

namespace {
using namespace std::chrono_literals;
// How often the step's thread looks for a cancel while a read runs apart.
constexpr auto readLookInterval = 20ms;
} // namespace

struct StepSession::Running {
    Work work;
    quint64 number;
    std::unique_ptr<QThread> thread;
};

StepSession::StepSession(StartSpreadsheetReader startHidden, QObject *parent)
    : QObject(parent)
    , standby(std::move(startHidden))
{
}

StepSession::~StepSession()
{
    if (running) {
        running->work.cancel();
        running->thread->wait();
    }
    awaitReadsLetGo();
}

bool StepSession::startScan(const QString &folder, const QString &pattern)
{
    if (isBusy())
        return false;
    struct Scan {
        ScanControl control;
        ScanResult result;
    };
    const auto scan = std::make_shared<Scan>();
    Work work;
    work.run = [scan, folder, pattern] {
        scan->result = scanFolder(folder, pattern, &scan->control);
        // Dropped here rather than on the window's thread, where freeing a
        // large part of a million entries would hold it up.
        if (scan->result.cancelled)
            scan->result.entries = {};
    };
    work.progress = [scan] {
        return StepProgress{scanProgressText(scan->control.foldersSeen(), scan->control.entriesFound())};
    };
    work.cancel = [scan] { scan->control.requestCancel(); };
    work.reportEnd = [this, scan] {
        if (scan->result.cancelled)
            emit scanCancelled(scanCancelledText());
        else
            emit scanFinished(scan->result.entries, scanReportText(scan->result.summary, QLocale::system()));
    };
    start(std::move(work));
    return true;
}

bool StepSession::startStepThree(const AskUnsavedChanges &askUnsaved, const Question &askHidden)
{
    if (isBusy())
        return false;
    struct StepThree {
        RenameControl control;
        std::atomic<bool> renaming{false};
        // Written by the read, which may be let go of; `table` is the step's own.
        StepThreeTable readTable;
        StepThreeTable table;
        StepThreeEnd end;
    };
    const auto step = std::make_shared<StepThree>();
    const QString workbookPath = workbook;
    const auto progress = [step] {
        const qint64 planned = step->control.renamesPlanned();
        if (!step->renaming || planned == 0)
            return StepProgress{QStringLiteral("正在读取命名表…")};
        const qint64 done = step->control.renamesDone();
        return StepProgress{QStringLiteral("正在更名：%1 / %2").arg(done).arg(planned), done, planned};
    };
    const auto cancel = [step] { step->control.requestStop(); };

    Work renaming;
    renaming.run = [this, step, workbookPath] {
        step->end = renameStepThreeRows(*step->table.rows, workbookPath, &step->control);
        // Its rows have been used; it would only start reading the next save.
        standby.quitWaitingOffice();
    };
    renaming.progress = progress;
    renaming.cancel = cancel;
    renaming.reportEnd = [this, step] { emit stepThreeEnded(step->end); };

    Work reading;
    reading.run = [this, step, workbookPath, askUnsaved] {
        awaitReadsLetGo();
        // A start of the office or a block of the table cannot be
        // interrupted and may take seconds: the read runs apart, and a
        // cancel lets go of it rather than wait.
        std::future<void> read = std::async(std::launch::async, [this, step, workbookPath, askUnsaved] {
            step->readTable = readStepThreeTable(standby, workbookPath, askUnsaved, &step->control);
        });
        while (read.wait_for(readLookInterval) != std::future_status::ready) {
            if (step->control.stopRequested()) {
                const std::lock_guard lock(readsLetGoGuard);
                readsLetGo.push_back(std::move(read));
                step->table = {std::nullopt, stepThreeCancelledText()};
                return;
            }
        }
        step->table = std::move(step->readTable);
    };
    reading.progress = progress;
    reading.cancel = cancel;
    // Between the two, on this thread: where the rows read may be asked about.
    reading.reportEnd = [this, step, askHidden, renaming = std::move(renaming)]() mutable {
        if (!step->table.rows)
            return emit stepThreeEnded({{}, std::nullopt, step->table.message});
        if (step->control.stopRequested())
            return emit stepThreeEnded({{}, std::nullopt, stepThreeCancelledText()});
        step->table.rows = rowsChosenToRename(*step->table.rows, askHidden);
        step->renaming = true;
        continueWith(std::move(renaming));
    };
    start(std::move(reading));
    return true;
}

namespace {

StepProgress restoreProgress(const RenameControl &control)
{
    const qint64 planned = control.renamesPlanned();
    if (planned == 0)
        return StepProgress{QStringLiteral("正在撤销…")};
    const qint64 done = control.renamesDone();
    return StepProgress{QStringLiteral("正在撤销：%1 / %2").arg(done).arg(planned), done, planned};
}

} // namespace

bool StepSession::startTableWriting(const StartSpreadsheetWriter &startVisible, const FoundEntries &entries)
{
    if (isBusy())
        return false;
    // Kept for the window's thread, where message boxes can be shown.
    struct KeptMessages : NamingTableView {
        QStringList messages;
        void showMessage(const QString &text) override { messages << text; }
    };
    struct Writing {
        TableWriteControl control;
        KeptMessages view;
        bool written = false;
    };
    const auto writing = std::make_shared<Writing>();
    Work work;
    work.run = [writing, startVisible, path = workbook, entries] {
        writing->written = exportNamingTable(startVisible, path, entries, writing->view, &writing->control);
    };
    work.progress = [writing] {
        const qint64 total = writing->control.rowsToWrite();
        const qint64 done = writing->control.rowsWritten();
        return StepProgress{QStringLiteral("正在写入命名表：%1 / %2 行").arg(done).arg(total), done, total};
    };
    work.cancel = [writing] { writing->control.requestStop(); };
    work.reportEnd = [this, writing] {
        if (writing->written)
            tableWritten();
        for (const QString &message : writing->view.messages)
            emit messageReported(message);
    };
    start(std::move(work));
    return true;
}

bool StepSession::startUndo(Question ask)
{
    if (isBusy())
        return false;
    struct Undo {
        RunUndo undo;
        RenameControl control;
        std::optional<QString> question;
        QString message;
    };
    const auto state = std::make_shared<Undo>();
    const auto progress = [state] { return restoreProgress(state->control); };
    const auto cancel = [state] { state->control.requestStop(); };

    Work takingBack{[state] { state->message = state->undo.takeBack(&state->control); }, progress, cancel,
                    [this, state] { emit messageReported(state->message); }};
    Work finding{[state] { state->question = state->undo.find(); }, progress, cancel,
                 [this, state, ask = std::move(ask), takingBack = std::move(takingBack)]() mutable {
                     if (!state->question)
                         return emit messageReported(state->undo.message());
                     if (!state->control.stopRequested() && ask(*state->question) && !state->control.stopRequested())
                         continueWith(std::move(takingBack));
                 }};
    start(std::move(finding));
    return true;
}

bool StepSession::startRecovery(Question ask)
{
    if (isBusy())
        return false;
    struct Recovery {
        CutOffRunsRecovery recovery;
        RenameControl control;
        bool restore = false;
        // Reports what a piece of work left and goes on to the next.
        std::function<void()> reportAndGoOn;
    };
    const auto state = std::make_shared<Recovery>();
    const auto piece = [](const std::shared_ptr<Recovery> &recovery, std::function<void()> run) {
        return Work{std::move(run), [recovery] { return restoreProgress(recovery->control); },
                    [recovery] { recovery->control.requestStop(); }, [recovery] { recovery->reportAndGoOn(); }};
    };
    // The state holds this through a weak pointer: it would otherwise hold itself.
    state->reportAndGoOn = [this, weak = std::weak_ptr<Recovery>(state), piece, ask = std::move(ask)] {
        const std::shared_ptr<Recovery> now = weak.lock();
        for (const QString &message : now->recovery.takeMessages())
            emit messageReported(message);
        const std::optional<QString> question = now->recovery.question();
        if (!question || now->control.stopRequested())
            return;
        now->restore = ask(*question);
        continueWith(piece(now, [now] { now->recovery.answer(now->restore, &now->control); }));
    };
    start(piece(state, [state] { state->recovery.begin(); }));
    return true;
}

void StepSession::tableWritten()
{
    awaitReadsLetGo();
    standby.prepare(workbook);
}

void StepSession::awaitReadsLetGo()
{
    std::vector<std::future<void>> reads;
    {
        const std::lock_guard lock(readsLetGoGuard);
        reads.swap(readsLetGo);
    }
    for (std::future<void> &read : reads)
        read.wait();
}

StepProgress StepSession::progress() const
{
    if (running)
        return running->work.progress();
    return handingOver ? handingOver->work.progress() : StepProgress{};
}

void StepSession::cancel()
{
    if (running)
        running->work.cancel();
    else if (handingOver)
        handingOver->work.cancel();
}

void StepSession::cancelAndWait()
{
    // A step of two pieces of work may go on to its second while the first
    // reports its end; cancelled, that one ends at once.
    while (running) {
        running->work.cancel();
        end();
    }
}

void StepSession::start(Work work)
{
    continueWith(std::move(work));
    emit busyChanged(true);
}

void StepSession::continueWith(Work work)
{
    const quint64 number = ++runsStarted;
    std::unique_ptr<QThread> thread(QThread::create(work.run));
    // The end may already have been reported by cancelAndWait; the number
    // tells this run's end from a later one's.
    connect(thread.get(), &QThread::finished, this, [this, number] {
        if (running && running->number == number)
            end();
    }, Qt::QueuedConnection);
    running = std::make_unique<Running>(Running{std::move(work), number, std::move(thread)});
    running->thread->start();
}

void StepSession::end()
{
    const std::unique_ptr<Running> ended = std::move(running);
    ended->thread->wait();
    handingOver = ended.get();
    ended->work.reportEnd();
    handingOver = nullptr;
    if (!running)
        emit busyChanged(false);
}
