#include "tests/common/cut_off_run.h"

#include "rename/recorded_run.h"
#include "rename/rename_run.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

bool leaveRunCutOffAfterItsRenames(const QList<NamingTableRow> &rows)
{
    const RenamePlan plan = planNamingTableRenames(rows);
    const pid_t child = fork();
    if (child == 0) {
        RecordedRun run(plan, runRecordsFolder(), RunKind::Step3, QString(), QStringLiteral("/t/names.xls"));
        if (!run.write().ok() || !run.waitUntilDurable().ok())
            _exit(1);
        carryOutRenamePlan(plan);
        // No end line, and no destructors: the process is simply gone.
        _exit(0);
    }
    int status = 0;
    const bool cutOff = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    EXPECT_TRUE(cutOff) << "the child could not write its record";
    return cutOff;
}
