#pragma once

#include "search/found_entries.h"
#include "steps/batch_rename_step.h"
#include "steps/naming_table_export.h"
#include "steps/standby_office.h"

#include <QObject>
#include <QString>

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

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
    // `startHidden` starts step 3's own hidden offices.
    explicit StepSession(StartSpreadsheetReader startHidden, QObject *parent = nullptr);
    // Stops any work under way and waits for it, reporting nothing more.
    ~StepSession() override;
    StepSession(const StepSession &) = delete;
    StepSession &operator=(const StepSession &) = delete;

    // True from busyChanged(true) to busyChanged(false), the turn of the
    // window's thread between two pieces of work of one step included.
    bool isBusy() const { return running != nullptr || handingOver != nullptr; }

    // The workbook chosen in step 2, which step 3 reads; empty until then.
    QString workbookPath() const { return workbook; }
    // Step 2's choice, kept at once: an empty path forgets an earlier one.
    void chooseWorkbook(const QString &path) { workbook = path; }
    // Step 2 for workbookPath(), which must not be empty: the naming table
    // of `entries` is written on the thread into a window of the office
    // `startVisible` starts (exportNamingTable). Returns false and does
    // nothing while other work runs. Otherwise returns at once, having
    // emitted busyChanged(true); each message comes through messageReported
    // at the end, then busyChanged(false). Once the table stands, the user
    // types names for a while: time enough to start step 3's office and have
    // it read each save (StandbyOffice), so that step 3 answers at once. A
    // cancel stops the writing between two blocks of rows; nothing is saved
    // and the user's office is left as it is.
    bool startTableWriting(const StartSpreadsheetWriter &startVisible, const FoundEntries &entries);

    // Asks the user a yes/no question on the window's thread: true for 是.
    using Question = std::function<bool(const QString &question)>;

    // Step 3 for workbookPath(), which must not be empty, in two pieces of
    // work with the window's turn between them: the table is read on the
    // thread (readStepThreeTable, with `askUnsaved`), here `askHidden` is
    // asked whether to rename rows the sheet hides too (rowsChosenToRename),
    // and the renames of the rows chosen run on the thread
    // (renameStepThreeRows), after which no standby office waits. Returns
    // false and does nothing while other work runs. Otherwise returns at
    // once, having emitted busyChanged(true); at the end emits stepThreeEnded
    // with what to show, then busyChanged(false). A cancel while reading
    // renames nothing; one while renaming ends the run between two units.
    bool startStepThree(const AskUnsavedChanges &askUnsaved, const Question &askHidden);

    // 撤销更名 (RunUndo): the run to take back is found on the thread, `ask`
    // is asked here, and its entries get their old names back on the thread.
    // Returns false and does nothing while other work runs. What to say
    // comes through messageReported, the end through busyChanged(false). A
    // cancel before the question asks nothing; one while restoring stops
    // between two units, and the rest can be undone later.
    bool startUndo(Question ask);

    // The recovery of runs cut off (CutOffRunsRecovery), on the thread, with
    // each question asked here through `ask` and each message reported
    // through messageReported. Returns false and does nothing while other
    // work runs. A cancel stops after the run under way; the runs left are
    // offered at the next start.
    bool startRecovery(Question ask);

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
    void stepThreeEnded(const StepThreeEnd &end);
    // A message of undo or recovery, for a box of the window.
    void messageReported(const QString &text);

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
    // The next piece of work of the step whose end is being reported.
    void continueWith(Work work);
    void end();

    void tableWritten();
    // Waits for the reads let go of, on whichever thread is about to use
    // the standby office.
    void awaitReadsLetGo();

    // Declared before the work, which may use it, so that it outlives it.
    StandbyOffice standby;
    // Reads of step 3 cancelled while an office call of theirs could not be
    // interrupted: let go of, they end in the background, quitting their
    // office, and are waited for before the standby office is used again.
    std::mutex readsLetGoGuard;
    std::vector<std::future<void>> readsLetGo;
    QString workbook;
    std::unique_ptr<Running> running;
    // The work whose end is being reported, while it is.
    const Running *handingOver = nullptr;
    quint64 runsStarted = 0;
};
