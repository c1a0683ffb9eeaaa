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
