#pragma once

#include "search/found_entries.h"
#include "sheet/spreadsheet_reader.h"
#include "sheet/spreadsheet_writer.h"
#include "steps/job.h"
#include "steps/standby_office.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

// The steps as the main window runs them: one job at a time, each piece of
// its work on a thread of its own beside the window's, its questions put
// through questionAsked and its end reported in one piece through ended.
// It also keeps what step 2 hands to step 3: the workbook chosen and the
// office standing by. Threads: the session, its signals included, belongs
// to the thread that made it; only the job's pieces run elsewhere, and
// awaitReadsLetGo() may be called from any thread.
class StepSession : public QObject {
    Q_OBJECT
public:
    // `startHidden` starts step 3's own hidden offices.
    explicit StepSession(StartSpreadsheetReader startHidden, QObject *parent = nullptr);
    // Stops any work under way and waits for it, for reads let go of and
    // for pieces left running (cancelAndWait), reporting nothing more. A
    // program that must not wait for a piece left running ends its process
    // instead of destroying the session (leftRunning()).
    ~StepSession() override;
    StepSession(const StepSession &) = delete;
    StepSession &operator=(const StepSession &) = delete;

    // True from busyChanged(true) to busyChanged(false), questions included.
    bool isBusy() const { return job != nullptr; }
    // True from questionAsked until answer().
    bool isAsking() const { return asking; }

    // The workbook chosen in step 2, which step 3 reads; empty until then.
    QString workbookPath() const { return workbook; }
    // Step 2's choice, kept at once: an empty path forgets an earlier one.
    void chooseWorkbook(const QString &path) { workbook = path; }

    // Each starts its job (see start()) and returns whether it did.
    // Step 1 in `folder` for `pattern` (ScanJob).
    bool startScan(const QString &folder, const QString &pattern);
    // Step 2 for workbookPath(), which must not be empty (TableWritingJob).
    // Once the table stands, the user types names for a while: time enough
    // to start step 3's office and have it read each save (StandbyOffice),
    // so that step 3 answers at once.
    bool startTableWriting(const StartSpreadsheetWriter &startVisible, const FoundEntries &entries);
    // Step 3 for workbookPath(), which must not be empty, through the office
    // standing by (StepThreeJob).
    bool startStepThree(const AskUnsavedChanges &askUnsaved);
    // 撤销更名 (UndoJob).
    bool startUndo();
    // The recovery of runs cut off (RecoveryJob).
    bool startRecovery();

    // Runs `job`: returns false and does nothing while another runs.
    // Otherwise emits busyChanged(true) and returns at once. Each question of
    // the job comes through questionAsked, and its next piece waits for
    // answer(); once a stop is asked for, nothing more is asked. At the end
    // emits ended, then busyChanged(false).
    bool start(std::shared_ptr<Job> job);
    // The user's answer to the question asked last (see Job::answer);
    // nothing without one.
    void answer(int choice);

    // How far the job under way has got; cheap enough to ask often. Empty
    // when nothing runs.
    StepProgress progress() const;
    // Asks the job under way to stop and returns at once; its end is
    // reported from the event loop. A piece the job may let go of
    // (Job::letGoWhenStopped) is let go of: the end is reported at once and
    // the piece ends in the background.
    void cancel();
    // Cancels the job under way and reports its end before returning, having
    // waited for its piece unless that was let go of; for a window that is
    // closing. A piece still running after `longest` (a call to a share that
    // stopped answering) is left running instead: its end is never
    // reported, busyChanged(false) is emitted, and this returns false with
    // the job's endedWithoutWaitingText() in `leftRunningText`. True when
    // the job has ended or nothing ran.
    bool cancelAndWait(std::chrono::milliseconds longest, QString *leftRunningText);
    // Whether a piece left running by cancelAndWait is still in its call.
    bool leftRunning() const;

    // What the check of the newest save of step 2's workbook found, while an
    // office stands by reading each save; number 0 before any.
    SaveCheck latestSaveCheck() { return standby.latestSaveCheck(); }

    // Waits for the pieces let go of to end; from any thread, before the
    // standby office is used.
    void awaitReadsLetGo();

signals:
    void busyChanged(bool busy);
    void questionAsked(const JobQuestion &question);
    void ended(const StepEnd &end);

private:
    void runPiece();
    void pieceEnded();
    void letGoOfPiece();
    void finish();

    // Declared before the jobs, which may use it, so that it outlives them.
    StandbyOffice standby;
    QString workbook;
    // The entries of the last table written, which step 3 renames only as
    // they were listed.
    std::shared_ptr<const ListedEntries> listed;
    std::shared_ptr<Job> job;
    std::unique_ptr<QThread> piece;
    std::shared_future<void> pieceDone;
    quint64 piecesStarted = 0;
    bool asking = false;
    // Pieces let go of, which may still use the standby office.
    std::mutex letGoGuard;
    std::vector<std::shared_future<void>> piecesLetGo;
    std::vector<std::unique_ptr<QThread>> threadsLetGo;
    // The piece left running by cancelAndWait, if any.
    std::shared_future<void> leftAtClose;
};
