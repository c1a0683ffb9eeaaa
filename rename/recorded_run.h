#pragma once

#include "work/work_control.h"
#include "rename/rename_plan.h"
#include "rename/run_record_folder.h"

#include <QList>
#include <QString>

#include <future>

// A plan carried out with a record of it in a folder, in phases the caller
// calls top to bottom, doing its own work between them: write(),
// waitUntilDurable(), carryOut(), settle(). A Step3 plan that renames
// nothing is carried out without a record; a Restore run is always
// recorded, so that the run it restores counts as undone.
class RecordedRun {
public:
    // `plan` must outlive the run.
    RecordedRun(const RenamePlan &planned, const QString &recordsFolder, RunKind runKind, const QString &restoredRecord,
                const QString &workbookPath);
    RecordedRun(const RecordedRun &) = delete;
    RecordedRun &operator=(const RecordedRun &) = delete;
    // Waits for a sync still under way.
    ~RecordedRun();

    // Writes the record and starts making it durable in the background. Work
    // done until waitUntilDurable() must neither rename nor show anything, as
    // the record may yet fail. On failure returns why; nothing was renamed,
    // no record is left, and no later phase may follow.
    FileResult write();

    // Waits until the record is durable; fails as write() does. The renames
    // may only begin after it has succeeded.
    FileResult waitUntilDurable();

    // Carries out the renames (carryOutRenamePlan, with `control` when
    // given), writing to the record each claim right before it is made, and
    // appends the outcomes to the record, its end "stopped" when the user
    // stopped it before its last unit; returns the outcomes, one per row of
    // the plan.
    const QList<RowOutcome> &carryOut(WorkControl *control = nullptr);

    // Whether carryOut() was stopped before its last unit: some rows are NotRun.
    bool stopped() const { return wasStopped; }

    // Makes the record's end durable and removes the records beyond the
    // newest 20; best effort. Left until what the user waits for is shown.
    void settle();

    // The record written; empty when the plan needed none.
    QString recordPath() const;

private:
    const RenamePlan &plan;
    const QString folder;
    const RunKind kind;
    const QString restores;
    const QString workbook;
    const bool recorded;
    RunRecordWriter record;
    std::future<FileResult> durable;
    QList<RowOutcome> outcomes;
    bool wasStopped = false;
};
