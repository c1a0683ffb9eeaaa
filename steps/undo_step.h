#pragma once

#include <QString>

// Where taking back a run asks and answers: a yes/no question and a message,
// each in a box of the main window.
class UndoView {
public:
    virtual ~UndoView() = default;
    // True for 是, false for 否.
    virtual bool askYesNo(const QString &question) = 0;
    virtual void showMessage(const QString &text) = 0;
};

// 撤销更名: offers to take back the newest step-3 run in runRecordsFolder()
// that renamed anything and is not undone yet, naming its time and how many
// entries it renamed; on 是 gives them their old names back (see restoreRun)
// and says how that went. With no such run, says there is nothing to undo.
// A run another program is carrying out is never touched; a run whose
// record is damaged (see readRunSteps) is refused, and nothing of it undone.
// While another step 3, undo or recovery of this user holds the lock
// (RunLock), nothing is asked or undone and one message says so.
void undoLastRun(UndoView &view);

// At start: for each run in runRecordsFolder() cut off before its end (no end
// line, its process gone) that left entries under other names, asks whether
// to give them their old names back; 是 does so and says how it went, 否
// marks the run as cut off so that undo can take it back later. A run cut
// off before it renamed anything is marked so without a question. A run
// whose record is damaged is said to be so, and left as it stands. While
// another holds the lock (RunLock), the runs are left as they stand, to be
// offered at the next start, and one message says so when there are any.
void offerRecoveryOfCutOffRuns(UndoView &view);
