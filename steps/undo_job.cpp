#include "steps/undo_job.h"

void UndoJob::run()
{
    if (!found) {
        asking = undo.find();
        found = true;
    } else if (takeBack) {
        said = undo.takeBack(&work);
    }
}

std::optional<JobQuestion> UndoJob::question()
{
    if (!asking)
        return std::nullopt;
    return JobQuestion{{}, *asking};
}

void UndoJob::answer(int choice)
{
    asking.reset();
    takeBack = choice == answeredYes;
}

StepEnd UndoJob::end()
{
    if (found && !undo.message().isEmpty())
        return {.messages = {undo.message()}};
    if (said.isEmpty())
        return {};
    return {.messages = {said}};
}

QString UndoJob::endedWithoutWaitingText() const
{
    if (!takeBack)
        return {};
    return QStringLiteral("共享文件夹没有响应，撤销停在中途，程序不再等待。下次启动本程序时，其余的文件可以恢复原名。");
}

StepProgress UndoJob::progress() const
{
    // Once stopped, the restore ends at the next unit; a progress that still
    // shows after that waits for a rename call that has not come back.
    if (takeBack && work.stopRequested())
        return {QStringLiteral("正在等待共享文件夹响应…其余的文件可以再用【撤销更名】恢复")};
    return restoreProgress(work);
}
