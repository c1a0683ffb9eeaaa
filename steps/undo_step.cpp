#include "steps/undo_step.h"

#include "rename/run_lock.h"
#include "rename/run_restore.h"
#include "steps/batch_rename_report.h"
#include "steps/run_record_texts.h"

#include <algorithm>

namespace {

constexpr qsizetype listedFailuresLimit = 20;

QString failureReason(const RestoreOutcome &outcome)
{
    switch (outcome.status) {
    case RestoreStatus::Gone: return QStringLiteral("文件已不在更名后的位置（已被改名、移动或删除）");
    case RestoreStatus::Replaced: return QStringLiteral("更名后的位置现在是另一个文件");
    case RestoreStatus::NameTaken: return QStringLiteral("原文件名已被占用");
    case RestoreStatus::KeptWithOthers: return QStringLiteral("与其他文件循环更名，须一起恢复，其中有文件未能恢复");
    case RestoreStatus::Failed: return rowFailureReason(outcome.engineOutcome);
    case RestoreStatus::ChangedSince: return QStringLiteral("文件在更名后有改动，无法确认是原来的文件，未恢复");
    case RestoreStatus::Restored: break;
    }
    return QString();
}

QString restoreMessage(const RestoreResult &result)
{
    if (result.recordFailure)
        return recordFailureMessage(*result.recordFailure);
    QList<RestoreOutcome> failures;
    std::copy_if(result.outcomes.begin(), result.outcomes.end(), std::back_inserter(failures),
                 [](const RestoreOutcome &outcome) { return outcome.status != RestoreStatus::Restored; });
    if (failures.isEmpty())
        return QStringLiteral("已撤销：%1 个文件恢复了原名").arg(result.restoredCount());

    QString message = QStringLiteral("有 %1 行未能撤销：").arg(failures.size());
    for (const RestoreOutcome &failure : failures.first(std::min(failures.size(), listedFailuresLimit)))
        message += QStringLiteral("\n%1 → %2（%3）").arg(failure.currentPath, failure.originalName, failureReason(failure));
    if (failures.size() > listedFailuresLimit)
        message += QStringLiteral("\n……另有 %1 行未列出。").arg(failures.size() - listedFailuresLimit);
    return message;
}

QString unreadableRecordMessage(const RunRecord &record)
{
    return QStringLiteral("无法读取更名记录，没有文件被更名：%1").arg(record.path);
}

} // namespace

void undoLastRun(UndoView &view)
{
    const QString recordsFolder = runRecordsFolder();
    // Taken before the records are read: another undo could be taking back
    // the very run this one would offer.
    const RunLock lock(recordsFolder);
    if (lock.takenByAnother())
        return view.showMessage(anotherRunUnderWayMessage());
    std::optional<RunRecord> run = lastUndoableRun(readRunRecords(recordsFolder));
    if (!run)
        return view.showMessage(QStringLiteral("没有可以撤销的批量更名"));
    if (!view.askYesNo(QStringLiteral("撤销 %1 的批量更名吗？%2 个文件将恢复原名。")
                           .arg(runTimeText(*run), QString::number(run->renamedEntries))))
        return;
    if (!readRunSteps(*run))
        return view.showMessage(run->damagedLine > 0 ? damagedRecordMessage(*run) : unreadableRecordMessage(*run));
    view.showMessage(restoreMessage(restoreRun(*run, recordsFolder)));
}

void offerRecoveryOfCutOffRuns(UndoView &view)
{
    const QString recordsFolder = runRecordsFolder();
    const RunLock lock(recordsFolder);
    QList<RunRecord> cutOff = cutOffRuns(readRunRecords(recordsFolder));
    // Left as they stand, to be offered at the next start.
    if (lock.takenByAnother()) {
        if (!cutOff.isEmpty())
            view.showMessage(anotherRunUnderWayMessage());
        return;
    }
    for (RunRecord &run : cutOff) {
        // A damaged record is said at every start, for as long as it stands:
        // marked as cut off, an older run would come next for undo.
        if (!readRunSteps(run)) {
            if (run.damagedLine > 0)
                view.showMessage(damagedRecordMessage(run));
            continue;
        }
        const QList<LocatedEntry> entries = locateRunEntries(run);
        const qsizetype renamed =
            std::count_if(entries.begin(), entries.end(), [](const LocatedEntry &entry) { return entry.renamed(); });
        if (renamed > 0 && view.askYesNo(QStringLiteral("上次批量更名（%1）在完成前中断了。现在把已更名的 %2 个文件恢复原名吗？")
                                             .arg(runTimeText(run), QString::number(renamed)))) {
            const RestoreResult result = restoreRun(run, recordsFolder);
            view.showMessage(restoreMessage(result));
            // Without its own record the restore renamed nothing: the run
            // stays cut off, to be offered again at the next start.
            if (result.recordFailure)
                continue;
        }
        bestEffort(markRunCutOff(run, renamed));
    }
}
