#include "process/running_process.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// A process id that named a process a moment ago and names none now.
qint64 idOfAnEndedChild()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST(RunningProcess, ARunningProcessIsToldFromAnEndedOneAndFromALaterOneOfTheSameId)
{
    const qint64 self = getpid();
    const std::optional<quint64> started = processStartOf(self);
    ASSERT_TRUE(started.has_value());
    const qint64 ended = idOfAnEndedChild();

    EXPECT_TRUE(processRuns(self));
    EXPECT_TRUE(processRuns(self, started));
    // The same id with another start is a later process that reused it.
    EXPECT_FALSE(processRuns(self, *started + 1));
    EXPECT_FALSE(processRuns(ended));
    EXPECT_FALSE(processRuns(ended, started));
    EXPECT_FALSE(processStartOf(ended).has_value());
    // What a number that cannot be a process id keeps is kept; no run was
    // ever recorded under one.
    EXPECT_TRUE(processRuns(0));
    EXPECT_TRUE(processRuns(-1));
    EXPECT_FALSE(processRuns(0, started));
}

} // namespace
