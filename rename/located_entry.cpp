#include "rename/located_entry.h"

#include "rename/run_record_folder.h"
#include "rename/run_survey.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <utility>

namespace {

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// The first nanosecond after the millisecond `time` names: records keep
// times to the millisecond, the file system to the nanosecond.
qint64 nanosecondsAfter(const QDateTime &time)
{
    return (time.toMSecsSinceEpoch() + 1) * 1000000;
}

// When the program's own runs after a run last renamed each entry, as the
// records beside that run's tell. Where the file system keeps no birth
// times, a later step 3 and the undos after it change an entry's status as a
// change by the user would, and must not be taken for one. The records are
// read once, when first needed.
class LaterRenames {
public:
    explicit LaterRenames(const RunRecord &earlier) : run(earlier) {}

    // Whether the entry `id` at `path`, whose status last changed at
    // `statusChange` (nanoseconds), has not changed since a run after `run`
    // renamed it, or, for a folder, renamed an entry the folder holds: a
    // rename inside a folder changes the folder's status too. A change made
    // before such a later run is hidden by its rename.
    bool explains(const QString &path, const EntryId &id, qint64 statusChange)
    {
        if (!wasRead)
            read();
        if (renamedUntil.isEmpty())
            return false;
        if (statusChange < renamedUntil.value({id.device, id.inode}))
            return true;
        const QDir folder(path);
        const QStringList held =
            folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        return std::any_of(held.cbegin(), held.cend(), [&](const QString &name) {
            const std::optional<EntryId> inside = entryIdOf(folder.filePath(name));
            return inside && statusChange < renamedUntil.value({inside->device, inside->inode});
        });
    }

private:
    void read()
    {
        wasRead = true;
        if (run.path.isEmpty())
            return;
        for (RunRecord laterRun : readRunRecords(QFileInfo(run.path).absolutePath())) {
            if (!laterRun.ended.isValid() || laterRun.ended <= run.ended || laterRun.path == run.path ||
                !readRunSteps(laterRun))
                continue;
            const qint64 until = nanosecondsAfter(laterRun.ended);
            for (const PlannedStep &step : std::as_const(laterRun.steps)) {
                if (step.entry == EntryId() || !laterRun.renamedRows.contains(step.rowNumber))
                    continue;
                qint64 &last = renamedUntil[{step.entry.device, step.entry.inode}];
                last = std::max(last, until);
            }
        }
    }

    const RunRecord &run;
    bool wasRead = false;
    // By device and inode: the first nanosecond after the end of the last
    // later run that renamed the entry.
    QHash<std::pair<quint64, quint64>, qint64> renamedUntil;
};

enum class Holding { Holds, Other, ChangedSince };

// Whether the entry at `path` is the entry `id` of `run`: a file made later
// may have been given the inode of one deleted. Where the file system keeps
// birth times, the entry must be born before the run began. Where it does
// not, its status must not have changed after the run's end (the run's own
// renames change it) or after the program's own later renames of it, or it
// is ChangedSince. A run cut off has no known end: there the device and
// inode are all there is to go by, as before a crash nothing else was
// written, and recovery must still find what the run moved.
Holding holdsEntry(const QString &path, const EntryId &id, const RunRecord &run, LaterRenames &later)
{
    const std::optional<EntryStatus> entry = entryStatusOf(path);
    if (!entry || entry->id != id)
        return Holding::Other;
    if (entry->birth)
        return *entry->birth < nanosecondsAfter(run.started) ? Holding::Holds : Holding::Other;
    if (!run.ended.isValid())
        return Holding::Holds;
    if (entry->statusChange < nanosecondsAfter(run.ended) || later.explains(path, id, entry->statusChange))
        return Holding::Holds;
    return Holding::ChangedSince;
}

} // namespace

bool LocatedEntry::awayFromOldName() const
{
    return found() && nameOf(currentPath) != nameOf(originalPath);
}

bool LocatedEntry::shortOfLastPath() const
{
    return found() && (nameOf(currentPath) != nameOf(expectedPath) || !secondNames.isEmpty());
}

bool LocatedEntry::renamed() const
{
    const bool changedAwayFromOldName = !changedSincePath.isEmpty() && nameOf(changedSincePath) != nameOf(originalPath);
    return awayFromOldName() || !secondNames.isEmpty() || changedAwayFromOldName;
}

QList<LocatedEntry> locateRunEntries(const RunRecord &run)
{
    const QList<PlannedStep> &steps = run.steps;
    // Each row's steps: one, or two for an entry that stepped aside in a cycle.
    QHash<qint64, QList<qsizetype>> stepsOfRow;
    QList<qint64> rowOrder;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (steps[i].entry == EntryId())
            continue;
        auto &rowSteps = stepsOfRow[steps[i].rowNumber];
        if (rowSteps.isEmpty())
            rowOrder.append(steps[i].rowNumber);
        rowSteps.append(i);
    }

    // From the last step back, so that the folders above an entry, renamed
    // after it, are found before it.
    RunSurvey survey;
    LaterRenames later(run);
    QHash<qint64, LocatedEntry> located;
    for (qsizetype i = steps.size() - 1; i >= 0; --i) {
        const qint64 row = steps[i].rowNumber;
        if (steps[i].entry == EntryId() || located.contains(row))
            continue;
        const QList<qsizetype> &rowSteps = stepsOfRow[row];
        const PlannedStep &first = steps[rowSteps.front()];
        LocatedEntry entry{row, first.entry, first.oldPath, survey.now(steps[i].newPath), {}, false, {}, {}};
        QStringList candidates{steps[i].newPath};
        for (auto step = rowSteps.crbegin(); step != rowSteps.crend(); ++step)
            candidates.append(steps[*step].oldPath);
        candidates.removeDuplicates();
        QStringList holding;
        for (const QString &candidate : candidates) {
            const QString path = survey.now(candidate);
            const Holding held = holdsEntry(path, first.entry, run, later);
            if (held == Holding::Holds)
                holding.append(path);
            else if (held == Holding::ChangedSince && entry.changedSincePath.isEmpty())
                entry.changedSincePath = path;
        }
        // Where the file system ignores letter case, a path of the run in
        // another case reaches the entry too, without being a name of it.
        if (holding.size() > 1) {
            const QString firstHolding = holding.front();
            holding.removeIf([](const QString &path) { return !isListedUnderItsName(path); });
            if (holding.isEmpty())
                holding.append(firstHolding);
        }
        if (!holding.isEmpty()) {
            entry.changedSincePath.clear();
            entry.currentPath = holding.takeFirst();
            entry.secondNames = holding;
        }
        // Only a file has second names, and its old one is the one it keeps.
        if (const QString oldPathNow = survey.now(first.oldPath); entry.secondNames.contains(oldPathNow)) {
            entry.secondNames.removeOne(oldPathNow);
            entry.secondNames.append(std::exchange(entry.currentPath, oldPathNow));
        }
        // A folder changed since still holds the entries inside it, each
        // judged on its own.
        if (entry.awayFromOldName())
            survey.noteMoved(first.oldPath, entry.currentPath);
        else if (!entry.found() && entry.renamed())
            survey.noteMoved(first.oldPath, entry.changedSincePath);
        entry.replaced =
            !entry.found() && entry.changedSincePath.isEmpty() && entryStatusOf(entry.expectedPath).has_value();
        located.insert(row, entry);
    }

    QList<LocatedEntry> entries;
    for (const qint64 row : rowOrder)
        entries.append(located.value(row));
    return entries;
}
