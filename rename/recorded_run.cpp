#include "rename/recorded_run.h"

#include <algorithm>
#include <future>

RecordedRun carryOutRecorded(const RenamePlan &plan, const QString &folder, RunKind kind, const QString &restores,
                             const QString &workbook, const std::function<void()> &recorded,
                             const std::function<void(const QList<RowOutcome> &)> &carriedOut,
                             const std::function<void()> &meanwhile)
{
    RecordedRun run;
    if (kind == RunKind::Step3 && plan.renames.isEmpty()) {
        if (meanwhile)
            meanwhile();
        if (recorded)
            recorded();
        run.outcomes = carryOutRenamePlan(plan);
        if (carriedOut)
            carriedOut(run.outcomes);
        return run;
    }
    RunRecordWriter record;
    if ((run.recordFailure = record.write(folder, kind, restores, workbook, plan)))
        return run;
    // The sync waits for the disk, and much of the time before the first
    // rename is that wait.
    std::future<std::optional<RecordFailure>> durable =
        std::async(std::launch::async, [&record] { return record.makeDurable(); });
    if (meanwhile)
        meanwhile();
    if ((run.recordFailure = durable.get()))
        return run;
    run.recordPath = record.path();
    if (recorded)
        recorded();
    run.outcomes = carryOutRenamePlan(plan);
    record.end(run.outcomes, std::count_if(run.outcomes.cbegin(), run.outcomes.cend(), [](const RowOutcome &outcome) {
                   return outcome.status == RowStatus::Renamed;
               }));
    if (carriedOut)
        carriedOut(run.outcomes);
    record.settle();
    pruneRunRecords(folder);
    return run;
}
