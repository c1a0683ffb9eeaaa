#pragma once

#include "rename/recorded_run.h"
#include "rename/rename_plan.h"
#include "rename/rename_run.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Runs of the rename engine in one call, as tests want them.

// Plans and carries out the rows' renames at once, without a record.
inline QList<RowOutcome> carryOutNamingTable(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath = {},
                                             const ListedEntries *listed = nullptr)
{
    return carryOutRenamePlan(planNamingTableRenames(rows, tableWorkbookPath, listed));
}

struct RecordedRunResult {
    // Set when the record could not be written; then nothing was renamed
    // and `outcomes` is empty.
    std::optional<FileFailure> recordFailure;
    QList<RowOutcome> outcomes;
    // The record written, empty when the plan had nothing to rename.
    QString recordPath;
};

// Every phase of a RecordedRun in turn; `recorded` is called once the record
// is durable, right before the first rename.
inline RecordedRunResult carryOutRecorded(const RenamePlan &plan, const QString &folder, RunKind kind,
                                          const QString &restores, const QString &workbook,
                                          const std::function<void()> &recorded = {})
{
    RecordedRunResult result;
    RecordedRun run(plan, folder, kind, restores, workbook);
    FileResult written = run.write();
    if (written.ok())
        written = run.waitUntilDurable();
    if (!written.ok()) {
        result.recordFailure = written.error();
        return result;
    }
    if (recorded)
        recorded();
    result.recordPath = run.recordPath();
    result.outcomes = run.carryOut();
    run.settle();
    return result;
}
