#pragma once

#include "steps/job.h"
#include "steps/undo_step.h"

#include <atomic>

// 撤销更名 as a job: the run to take back is found (RunUndo::find), the
// user is asked, and on 是 its entries get their old names back
// (RunUndo::takeBack). Its end says what came of it: why there is nothing
// to undo, or how the undo went; after 否, or a stop before the question,
// it says nothing. A stop while restoring ends between two units, and the
// rest can be undone later; while a rename on a share that stopped answering
// holds the stop, progress() says that the undo waits for the share.
class UndoJob : public Job {
public:
    void run() override;
    std::optional<JobQuestion> question() override;
    void answer(int choice) override;
    StepEnd end() override;
    StepProgress progress() const override;
    QString endedWithoutWaitingText() const override;

private:
    RunUndo undo;
    bool found = false;
    std::optional<QString> asking;
    // Read by progress(), from any thread.
    std::atomic<bool> takeBack = false;
    QString said;
};
