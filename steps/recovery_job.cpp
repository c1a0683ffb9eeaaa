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

QString RecoveryJob::endedWithoutWaitingText() const
{
    // Set on the window's thread, between pieces, as the user answers.
    if (!restore)
        return {};
    return QStringLiteral("共享文件夹没有响应，恢复停在中途，程序不再等待。下次启动本程序时，其余的文件可以恢复原名。");
}

StepProgress RecoveryJob::progress() const
{
    // Once stopped, the restore ends at the next unit; a progress that still
    // shows after that waits for a rename call that has not come back.
    if (restore && work.stopRequested())
        return {QStringLiteral("正在等待共享文件夹响应…其余的文件下次启动时再询问")};
    return restoreProgress(work);
}
