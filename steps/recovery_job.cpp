#include "steps/recovery_job.h"

void RecoveryJob::run()
{
    if (!begun) {
        recovery.begin();
        begun = true;
        return;
    }
    recovery.answer(restore, &work);
}

std::optional<JobQuestion> RecoveryJob::question()
{
    const std::optional<QString> asked = recovery.question();
    if (!asked)
        return std::nullopt;
    return JobQuestion{recovery.takeMessages(), *asked};
}
