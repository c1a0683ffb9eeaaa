#pragma once

#include "steps/job.h"
#include "steps/undo_step.h"

#include <optional>

// The recovery at start of runs cut off before their end
// (CutOffRunsRecovery) as a job: one question per run that left entries
// under other names, each after the messages of the run before; its end
// gives the messages left. A stop ends after the run under way; the runs
// left are offered at the next start.
class RecoveryJob : public Job {
public:
    void run() override;
    std::optional<JobQuestion> question() override;
    void answer(int choice) override { restore = choice == answeredYes; }
    StepEnd end() override { return {.messages = recovery.takeMessages()}; }
    StepProgress progress() const override { return restoreProgress(work); }

private:
    CutOffRunsRecovery recovery;
    bool begun = false;
    bool restore = false;
};
