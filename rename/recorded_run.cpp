#include "rename/recorded_run.h"

#include <algorithm>

RecordedRun carryOutRecorded(const RenamePlan &plan, const QString &folder, RunKind kind, const QString &restores,
                             const QString &workbook, const std::function<void()> &recorded,
                             const std::function<void(const QList<RowOutcome> &)> &carriedOut)
{
    RecordedRun run;
    if (kind == RunKind::Step3 && plan.renames.isEmpty()) {
        if (recorded)
            recorded();
        run.outcomes = carryOutRenamePlan(plan);
        if (carriedOut)
            carriedOut(run.outcomes);
        return run;
    }
    RunRecordWriter record;
    if ((run.recordFailure = record.begin(folder, kind, restores, workbook, plan)))
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
