#pragma once

#include "rename/run_record_format.h"
#include "work/work_control.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class RunLock;

// 撤销更名: offers to take back the newest step-3 run in runRecordsFolder()
// that renamed anything and is not undone yet, naming its time and how many
// entries it renamed (after an undo of it that the user stopped, how many
// it still leaves under other names); on 是 gives them their old names back
// (see restoreRun) and says how that went. With no such run, says there is
// nothing to undo. A run another program is carrying out is never touched; a
// run whose record is damaged (see readRunSteps) is refused, and nothing of
// it undone. While another step 3, undo or recovery of this user holds the
// lock (RunLock), nothing is asked or undone and one message says so.
// In two halves for work beside the window: find() and takeBack() may run on
// any thread, one after the other, with the question asked between them.
// The lock is held from find() until the object goes.
class RunUndo {
public:
    RunUndo();
    ~RunUndo();

    // Takes the lock and finds the run to take back. Returns the question to
    // ask, or nothing when there is none; then message() says why.
    std::optional<QString> find();
    // After 是: gives the run's entries their old names back and returns
    // what to say. With `control`, the renames report their progress there;
    // a stop ends them between two units, and the message says how many
    // were put back and that the rest can be undone later.
    QString takeBack(WorkControl *control = nullptr);
    QString message() const { return said; }

private:
    std::unique_ptr<RunLock> lock;
    std::optional<RunRecord> run;
    QString said;
};

// At start: for each run in runRecordsFolder() cut off before its end (no end
// line, its process gone) that left entries under other names, asks whether
// to give them their old names back; 是 does so and says how it went, 否
// marks the run as cut off so that undo can take it back later. A run cut
// off before it renamed anything is marked so without a question. A run
// whose record is damaged is said to be so, and left as it stands. While
// another holds the lock (RunLock), the runs are left as they stand, to be
// offered at the next start, and one message says so when there are any.
// In pieces for work beside the window: begin() and answer() may run on any
// thread, one after the other; between them the caller shows the messages
// taken and asks the question, if any. The lock is held from begin() until
// the object goes.
//
// An undo or recovery cut off in turn is offered as what it is, an undo not
// finished, before the run it was taking back: 是 finishes it
// (finishRestoreRun), so that its entries end under the names they had
// before that run, and the run counts as undone; one cut off after its last
// rename is finished without a question. The run it was taking back, when
// cut off too, is then settled with it, without a question of its own.
class CutOffRunsRecovery {
public:
    CutOffRunsRecovery();
    ~CutOffRunsRecovery();

    // Takes the lock, finds the runs and goes through them up to the first
    // question. With the lock, also says once of each record that cannot be
    // read (takeUnreadableRunRecords) that it cannot, and where it is kept.
    void begin();
    // Settles the run asked about: on `restore` its entries get their old
    // names back, or an undo cut off is finished (with `control`, as
    // RunUndo::takeBack); otherwise it is marked cut off, for undo to take
    // back the rest later. When a stop ends that restore early, the run is
    // marked so that undo can take back the rest and the next start offers
    // it again (markRunRecoveryStopped). Then goes on to the next question,
    // unless stopped: the runs left are then offered at the next start.
    void answer(bool restore, WorkControl *control = nullptr);

    // The question to ask now, or nothing once every run is settled.
    std::optional<QString> question() const { return asking; }
    // The messages to show before the question, in order; taken once.
    QStringList takeMessages();

private:
    void goOn();

    std::unique_ptr<RunLock> lock;
    QList<RunRecord> runs;
    qsizetype next = 0;
    qsizetype renamedOfAsked = 0;
    std::optional<QString> asking;
    QStringList messages;
    // The runs, by file name, whose undo or recovery was cut off in turn
    // and has been settled at this start: asked about once, with it.
    QSet<QString> settledWithTheirUndo;
};

// What undo and recovery show while they restore: how many of the renames
// to take back are done. Cannot fail.
struct StepProgress;
StepProgress restoreProgress(const WorkControl &control);
