#pragma once

#include "rename/batch_rename.h"
#include "rename/run_record.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

struct RecordedRun {
    // Set when the record could not be written; then nothing was renamed
    // and `outcomes` is empty.
    std::optional<RecordFailure> recordFailure;
    QList<RowOutcome> outcomes;
    // The record written, empty when the plan had nothing to rename.
    QString recordPath;
};

// Carries out `plan` with a record of it in `folder`: the record is written
// and made durable, while `meanwhile` runs (it must neither rename nor show
// anything, as the record may yet fail), then `recorded` is called, then the
// renames run, and the
// record is ended with the outcomes after the last; then `carriedOut` is
// called with the outcomes (so that what the user waits for comes first),
// the end is made durable and the records beyond the newest 20 are removed.
// A Step3 plan that renames nothing is carried out without a record; a
// Restore run is always recorded, so that the run it restores counts as
// undone.
RecordedRun carryOutRecorded(const RenamePlan &plan, const QString &folder, RunKind kind, const QString &restores,
                             const QString &workbook, const std::function<void()> &recorded = {},
                             const std::function<void(const QList<RowOutcome> &)> &carriedOut = {},
                             const std::function<void()> &meanwhile = {});
