#include "steps/step_session.h"

#include "steps/recovery_job.h"
#include "steps/scan_job.h"
#include "steps/step_three_job.h"
#include "steps/table_writing_job.h"
#include "steps/undo_job.h"

#include <QDeadlineTimer>
#include <QThread>

StepSession::StepSession(StartSpreadsheetReader startHidden, QObject *parent)
    : QObject(parent)
    , standby(std::move(startHidden))
{
}

StepSession::~StepSession()
{
    if (job)
        job->stop();
    if (piece)
        piece->wait();
    for (const std::unique_ptr<QThread> &thread : threadsLetGo)
        thread->wait();
}

bool StepSession::startScan(const QString &folder, const QString &pattern)
{
    return start(std::make_shared<ScanJob>(folder, pattern));
}

bool StepSession::startTableWriting(const StartSpreadsheetWriter &startVisible, const FoundEntries &entries)
{
    return start(std::make_shared<TableWritingJob>(startVisible, workbook, entries,
                                                   [this](std::shared_ptr<const ListedEntries> entriesListed) {
                                                       listed = std::move(entriesListed);
                                                       awaitReadsLetGo();
                                                       standby.prepare(workbook, listed);
                                                   }));
}

bool StepSession::startStepThree(const AskUnsavedChanges &askUnsaved)
{
    return start(
        std::make_shared<StepThreeJob>(standby, workbook, askUnsaved, [this] { awaitReadsLetGo(); }, listed));
}

bool StepSession::startUndo()
{
    return start(std::make_shared<UndoJob>());
}

bool StepSession::startRecovery()
{
    return start(std::make_shared<RecoveryJob>());
}

bool StepSession::start(std::shared_ptr<Job> started)
{
    if (isBusy())
        return false;
    job = std::move(started);
    runPiece();
    emit busyChanged(true);
    return true;
}

void StepSession::runPiece()
{
    auto done = std::make_shared<std::promise<void>>();
    pieceDone = done->get_future().share();
    piece.reset(QThread::create([running = job, done] {
        running->run();
        done->set_value();
    }));
    // A piece let go of, or waited for by cancelAndWait, has been reported
    // already: the number tells this piece's end from a later one's.
    const quint64 number = ++piecesStarted;
    connect(piece.get(), &QThread::finished, this, [this, number] {
        if (piece && piecesStarted == number)
            pieceEnded();
    }, Qt::QueuedConnection);
    piece->start();
}

void StepSession::pieceEnded()
{
    piece->wait();
    piece.reset();
    // Once stopped, nothing is asked: the user has said enough.
    if (!job->stopRequested()) {
        if (std::optional<JobQuestion> question = job->question()) {
            asking = true;
            return emit questionAsked(*question);
        }
    }
    finish();
}

void StepSession::answer(int choice)
{
    if (!asking)
        return;
    asking = false;
    if (job->stopRequested())
        return finish();
    job->answer(choice);
    runPiece();
}

void StepSession::finish()
{
    const std::shared_ptr<Job> finished = std::move(job);
    asking = false;
    emit ended(finished->end());
    emit busyChanged(false);
}

StepProgress StepSession::progress() const
{
    return job ? job->progress() : StepProgress{};
}

void StepSession::cancel()
{
    if (!job)
        return;
    job->stop();
    if (piece && job->letGoWhenStopped()) {
        letGoOfPiece();
        finish();
    }
}

bool StepSession::cancelAndWait(std::chrono::milliseconds longest, QString *leftRunningText)
{
    if (!job)
        return true;
    job->stop();
    if (piece && job->letGoWhenStopped())
        letGoOfPiece();
    if (piece && !piece->wait(QDeadlineTimer(longest))) {
        // Its thread is kept to its end: a QThread destroyed while it runs
        // ends the process. The job goes with its last piece; its end, which
        // that piece still writes, is never read.
        *leftRunningText = job->endedWithoutWaitingText();
        leftAtClose = pieceDone;
        letGoOfPiece();
        job.reset();
        asking = false;
        emit busyChanged(false);
        return false;
    }
    piece.reset();
    finish();
    return true;
}

bool StepSession::leftRunning() const
{
    return leftAtClose.valid() && leftAtClose.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void StepSession::letGoOfPiece()
{
    const std::lock_guard lock(letGoGuard);
    piecesLetGo.push_back(pieceDone);
    QThread *thread = piece.get();
    threadsLetGo.push_back(std::move(piece));
    connect(thread, &QThread::finished, this, [this, thread] {
        thread->wait();
        std::erase_if(threadsLetGo, [thread](const std::unique_ptr<QThread> &letGo) { return letGo.get() == thread; });
    }, Qt::QueuedConnection);
}

void StepSession::awaitReadsLetGo()
{
    std::vector<std::shared_future<void>> pieces;
    {
        const std::lock_guard lock(letGoGuard);
        pieces = piecesLetGo;
    }
    for (const std::shared_future<void> &letGo : pieces)
        letGo.wait();
    const std::lock_guard lock(letGoGuard);
    std::erase_if(piecesLetGo, [](const std::shared_future<void> &letGo) {
        return letGo.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
}
