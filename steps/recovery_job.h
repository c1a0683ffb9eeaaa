#pragma once

#include "steps/job.h"
#include "steps/undo_step.h"

#include <atomic>
#include <optional>

// The recovery at start of runs cut off before their end
// (CutOffRunsRecovery) as a job: one question per run that left entries
// under other names, each after the messages of the run before; its end
// gives the messages left. A stop ends after the run under way; the runs
// left are offered at the next start. While a rename on a share that stopped
// answering holds the stop, progress() says that the recovery waits for the
// share.
class RecoveryJob : public Job {
public:
    void run() override;
    std::optional<JobQuestion> question() override;
    void answer(int choice) override { restore = choice == answeredYes; }
    StepEnd end() override { return {.messages = recovery.takeMessages()}; }
    StepProgress progress() const override;
    QString endedWithoutWaitingText() const override;

private:
    CutOffRunsRecovery recovery;
    bool begun = false;
    // Read by progress(), from any thread.
    std::atomic<bool> restore = false;
};
