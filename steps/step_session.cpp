#include "steps/step_session.h"

#include "search/directory_scan.h"
#include "steps/scan_step.h"

#include <QLocale>
#include <QThread>

struct StepSession::Running {
    Work work;
    quint64 number;
    std::unique_ptr<QThread> thread;
};

StepSession::StepSession(QObject *parent)
    : QObject(parent)
{
}

StepSession::~StepSession()
{
    if (running) {
        running->work.cancel();
        running->thread->wait();
    }
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

StepProgress StepSession::progress() const
{
    return running ? running->work.progress() : StepProgress{};
}

void StepSession::cancel()
{
    if (running)
        running->work.cancel();
}

void StepSession::cancelAndWait()
{
    if (!running)
        return;
    running->work.cancel();
    end();
}

void StepSession::start(Work work)
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
    emit busyChanged(true);
}

void StepSession::end()
{
    const std::unique_ptr<Running> ended = std::move(running);
    ended->thread->wait();
    ended->work.reportEnd();
    emit busyChanged(false);
}
