#include "steps/undo_step.h"

#include "rename/run_lock.h"
#include "rename/run_restore.h"
#include "steps/batch_rename_report.h"
#include "steps/job.h"
#include "steps/run_record_texts.h"

#include <algorithm>
#include <utility>

namespace {

QString failureReason(const RestoreOutcome &outcome)
{
    switch (outcome.status) {
    case RestoreStatus::Gone: return QStringLiteral("文件已不在更名后的位置（已被改名、移动或删除）");
    case RestoreStatus::Replaced: return QStringLiteral("更名后的位置现在是另一个文件");
    case RestoreStatus::NameTaken: return QStringLiteral("原文件名已被占用");
    case RestoreStatus::KeptWithOthers: return QStringLiteral("与其他文件循环更名，须一起恢复，其中有文件未能恢复");
    case RestoreStatus::Failed: return rowFailureReason(outcome.engineOutcome);
    case RestoreStatus::ChangedSince: return QStringLiteral("文件在更名后有改动，无法确认是原来的文件，未恢复");
    case RestoreStatus::NotRun: return QStringLiteral("已取消，未恢复");
    case RestoreStatus::Restored: break;
    }
    return QString();
}

// `done` says that all went well, with %1 for the entries put back.
QString restoreMessage(const RestoreResult &result, const QString &done = QStringLiteral("已撤销：%1 个文件恢复了原名"))
{
    if (result.recordFailure)
        return recordFailureMessage(*result.recordFailure);
    QList<RestoreOutcome> failures;
    std::copy_if(result.outcomes.begin(), result.outcomes.end(), std::back_inserter(failures),
                 [](const RestoreOutcome &outcome) { return outcome.status != RestoreStatus::Restored; });
    if (failures.isEmpty())
        return done.arg(result.restoredCount());

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

QString stoppedRestoreMessage(const RestoreResult &result)
{
    return QStringLiteral("已取消：%1 / %2 个文件已恢复原名；其余的可以再用【撤销更名】恢复")
        .arg(result.restoredCount())
        .arg(result.outcomes.size());
}

// An undo of `run` that was stopped or cut off put some of its entries
// back, so that fewer are left than its end line says.
bool partlyUndone(const RunRecord &run, const QList<RunRecord> &records)
{
    return std::any_of(records.cbegin(), records.cend(), [&run](const RunRecord &other) {
        return other.kind == RunKind::Restore && other.restores == run.fileName() && other.end != RunEnd::Ended;
    });
}

// The entries `run` still leaves under other names.
qsizetype entriesLeftRenamed(const RunRecord &run, const QList<RunRecord> &records)
{
    RunRecord located = run;
    if (!partlyUndone(run, records) || !readRunSteps(located))
        return run.renamedEntries;
    const QList<LocatedEntry> entries = locateRunEntries(located);
    return std::count_if(entries.begin(), entries.end(), [](const LocatedEntry &entry) { return entry.renamed(); });
}

QString takeBackMessage(const RestoreResult &result)
{
    return result.stopped ? stoppedRestoreMessage(result) : restoreMessage(result);
}

// A recovery at start that was stopped leaves its run to be offered again.
QString recoveryMessage(const RestoreResult &result, bool finishing)
{
    if (result.stopped) {
        return QStringLiteral("已取消：%1 / %2 个文件已恢复原名；其余的文件下次启动时再询问")
            .arg(result.restoredCount())
            .arg(result.outcomes.size());
    }
    return finishing ? restoreMessage(result, QStringLiteral("已完成撤销：%1 个文件恢复了原名")) : restoreMessage(result);
}

qsizetype entriesShortOfLastPath(const QList<LocatedEntry> &entries)
{
    return std::count_if(entries.begin(), entries.end(), [](const LocatedEntry &entry) { return entry.shortOfLastPath(); });
}

qsizetype entriesRenamed(const QList<LocatedEntry> &entries)
{
    return std::count_if(entries.begin(), entries.end(), [](const LocatedEntry &entry) { return entry.renamed(); });
}

} // namespace

RunUndo::RunUndo() = default;
RunUndo::~RunUndo() = default;

std::optional<QString> RunUndo::find()
{
    const QString recordsFolder = runRecordsFolder();
    // Taken before the records are read: another undo could be taking back
    // the very run this one would offer.
    lock = std::make_unique<RunLock>(recordsFolder);
    if (lock->takenByAnother()) {
        said = anotherRunUnderWayMessage();
        return std::nullopt;
    }
    const QList<RunRecord> records = readRunRecords(recordsFolder);
    run = lastUndoableRun(records);
    if (!run) {
        said = QStringLiteral("没有可以撤销的批量更名");
        return std::nullopt;
    }
    return QStringLiteral("撤销 %1 的批量更名吗？%2 个文件将恢复原名。")
        .arg(runTimeText(*run), QString::number(entriesLeftRenamed(*run, records)));
}

QString RunUndo::takeBack(WorkControl *control)
{
    if (!readRunSteps(*run))
        return run->damagedLine > 0 ? damagedRecordMessage(*run) : unreadableRecordMessage(*run);
    return takeBackMessage(restoreRun(*run, runRecordsFolder(), control));
}

CutOffRunsRecovery::CutOffRunsRecovery() = default;
CutOffRunsRecovery::~CutOffRunsRecovery() = default;

void CutOffRunsRecovery::begin()
{
    const QString recordsFolder = runRecordsFolder();
    lock = std::make_unique<RunLock>(recordsFolder);
    runs = cutOffRuns(readRunRecords(recordsFolder));
    // Left as they stand, to be offered at the next start.
    if (lock->takenByAnother()) {
        if (!runs.isEmpty())
            messages << anotherRunUnderWayMessage();
        runs.clear();
    } else if (const QStringList unreadable = takeUnreadableRunRecords(recordsFolder); !unreadable.isEmpty()) {
        messages << unreadableRecordsMessage(unreadable);
    }
    // An undo or recovery cut off comes before the run it was taking back,
    // which is settled with it.
    std::stable_partition(runs.begin(), runs.end(), [](const RunRecord &run) { return run.kind == RunKind::Restore; });
    goOn();
}

void CutOffRunsRecovery::goOn()
{
    asking.reset();
    while (next < runs.size()) {
        RunRecord &run = runs[next];
        // A damaged record is said at every start, for as long as it stands:
        // marked as cut off, an older run would come next for undo.
        if (!readRunSteps(run)) {
            if (run.damagedLine > 0)
                messages << damagedRecordMessage(run);
            ++next;
            continue;
        }
        const QList<LocatedEntry> entries = locateRunEntries(run);
        if (run.kind == RunKind::Restore) {
            renamedOfAsked = entriesShortOfLastPath(entries);
            if (renamedOfAsked > 0) {
                asking = QStringLiteral("上次撤销更名（%1）在完成前中断了。现在完成撤销，把其余 %2 个文件恢复原名吗？")
                             .arg(runTimeText(run), QString::number(renamedOfAsked));
                return;
            }
            // Cut off after its last rename: carried through without a
            // question, so that the run it took back counts as undone.
            const RestoreResult finished = finishRestoreRun(run, runRecordsFolder());
            if (finished.recordFailure || finished.restoredCount() != finished.outcomes.size())
                messages << restoreMessage(finished);
            if (!finished.recordFailure) {
                bestEffort(markRunCutOff(run, 0));
                settledWithTheirUndo.insert(run.restores);
            }
            ++next;
            continue;
        }
        renamedOfAsked = entriesRenamed(entries);
        if (renamedOfAsked > 0 && !settledWithTheirUndo.contains(run.fileName())) {
            asking = QStringLiteral("上次批量更名（%1）在完成前中断了。现在把已更名的 %2 个文件恢复原名吗？")
                         .arg(runTimeText(run), QString::number(renamedOfAsked));
            return;
        }
        // What its undo left under other names stays for 撤销更名.
        bestEffort(markRunCutOff(run, renamedOfAsked));
        ++next;
    }
}

void CutOffRunsRecovery::answer(bool restore, WorkControl *control)
{
    RunRecord &run = runs[next++];
    // A restore cut off is carried through to its end, not taken back: its
    // entries get the names the run it restores took from them.
    const bool finishing = run.kind == RunKind::Restore;
    qsizetype leftRenamed = renamedOfAsked;
    bool stopped = false;
    if (restore) {
        const RestoreResult result = finishing ? finishRestoreRun(run, runRecordsFolder(), control)
                                               : restoreRun(run, runRecordsFolder(), control);
        messages << recoveryMessage(result, finishing);
        // Without its own record the restore renamed nothing: the run
        // stays cut off, to be offered again at the next start.
        if (result.recordFailure)
            return goOn();
        // A restore stopped early does not count as the run's undo, which
        // then takes back what is left under other names; and the rest is
        // offered again at the next start (the window may have been closed).
        stopped = result.stopped;
        if (stopped)
            leftRenamed -= result.restoredCount();
    }
    if (stopped) {
        bestEffort(markRunRecoveryStopped(run, leftRenamed));
        asking.reset();
        return;
    }
    bestEffort(markRunCutOff(run, leftRenamed));
    if (finishing)
        settledWithTheirUndo.insert(run.restores);
    goOn();
}

QStringList CutOffRunsRecovery::takeMessages()
{
    return std::exchange(messages, {});
}

StepProgress restoreProgress(const WorkControl &control)
{
    const qint64 planned = control.total();
    if (planned == 0)
        return {QStringLiteral("正在撤销…")};
    const qint64 done = control.done();
    return {QStringLiteral("正在撤销：%1 / %2").arg(done).arg(planned), done, planned};
}
