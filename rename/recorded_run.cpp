#include "rename/recorded_run.h"

#include "rename/rename_no_replace.h"
#include "rename/rename_run.h"

#include <algorithm>
#include <optional>

RecordedRun::RecordedRun(const RenamePlan &planned, const QString &recordsFolder, RunKind runKind,
                         const QString &restoredRecord, const QString &workbookPath)
    : plan(planned), folder(recordsFolder), kind(runKind), restores(restoredRecord), workbook(workbookPath),
      recorded(runKind == RunKind::Restore || !planned.renames.isEmpty())
{
}

RecordedRun::~RecordedRun()
{
    if (durable.valid())
        durable.wait();
}

FileResult RecordedRun::write()
{
    if (!recorded)
        return FileResult::success();
    if (const FileResult written = record.write(folder, kind, restores, workbook, plan); !written.ok())
        return written;
    // The sync waits for the disk, and much of the time before the first
    // rename is that wait.
    durable = std::async(std::launch::async, [this] { return record.makeDurable(); });
    return FileResult::success();
}

FileResult RecordedRun::waitUntilDurable()
{
    return durable.valid() ? durable.get() : FileResult::success();
}

const QList<RowOutcome> &RecordedRun::carryOut(WorkControl *control)
{
    std::optional<ClaimNotice> claims;
    if (recorded)
        claims.emplace([this](const QString &claimPath) { record.appendClaim(claimPath); },
                       [this](const QString &claimPath, const EntryId &claim) { record.appendClaimed(claimPath, claim); });
    outcomes = carryOutRenamePlan(plan, control);
    claims.reset();
    wasStopped = std::any_of(outcomes.cbegin(), outcomes.cend(),
                             [](const RowOutcome &outcome) { return outcome.status() == RowStatus::NotRun; });
    if (recorded) {
        const qsizetype renamed = std::count_if(outcomes.cbegin(), outcomes.cend(), [](const RowOutcome &outcome) {
            return outcome.status() == RowStatus::Renamed;
        });
        record.appendEnd(outcomes, renamed, wasStopped);
    }
    return outcomes;
}

void RecordedRun::settle()
{
    if (!recorded)
        return;
    record.settle();
    pruneRunRecords(folder);
}

QString RecordedRun::recordPath() const
{
    return recorded ? record.path() : QString();
}
