#pragma once

#include "search/found_entries.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

// How far the work under way has got, as a progress window shows it.
struct StepProgress {
    QString text;
    qint64 done = 0;
    qint64 total = 0; // 0: not known, shown as a busy bar
};

// The steps as the main window runs them: one piece of work at a time, each
// on a thread of its own beside the window's, reporting its outcome in one
// piece when it has ended. The window holds one session, wires its controls
// to it and shows what it reports. Everything here, signals included,
// belongs to the thread that made the session.
class StepSession : public QObject {
    Q_OBJECT
public:
    explicit StepSession(QObject *parent = nullptr);
    // Stops any work under way and waits for it, reporting nothing more.
    ~StepSession() override;
    StepSession(const StepSession &) = delete;
    StepSession &operator=(const StepSession &) = delete;

    bool isBusy() const { return running != nullptr; }

    // Step 1: searches `folder` and everything below it for `pattern`.
    // Returns false and does nothing while other work runs. Otherwise
    // returns at once, having emitted busyChanged(true); when the scan has
    // ended, emits scanFinished with everything found, or scanCancelled if
    // it was cancelled (what it found so far is dropped), then
    // busyChanged(false).
    bool startScan(const QString &folder, const QString &pattern);

    // How far the work under way has got; cheap enough to ask often. Empty
    // when nothing runs.
    StepProgress progress() const;

    // Asks the work under way to stop and returns at once; its end is
    // reported as usual, from the event loop. Nothing happens when nothing
    // runs.
    void cancel();

    // Cancels the work under way, waits for it to stop and reports its end
    // before returning; for a window that is closing.
    void cancelAndWait();

signals:
    void busyChanged(bool busy);
    // `report` is step 1's report text for the scan.
    void scanFinished(const FoundEntries &entries, const QString &report);
    void scanCancelled(const QString &message);

private:
    // One piece of work: `run` goes on the thread, the rest on this one.
    struct Work {
        std::function<void()> run;
        std::function<StepProgress()> progress;
        std::function<void()> cancel;
        std::function<void()> reportEnd;
    };
    struct Running;

    void start(Work work);
    void end();

    std::unique_ptr<Running> running;
    quint64 runsStarted = 0;
};
