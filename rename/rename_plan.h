#pragma once

#include "rename/entry_identity.h"
#include "rename/planned_rename.h"
#include "rename/row_outcome.h"

#include <QList>
#include <QtGlobal>
#include <QString>
#include <QStringView>

#include <span>

class ListedEntries;

// The key rows name one entry by however they spell its folder ("/t//" or
// "/t/./" for "/t/"); names are compared exactly, as the file system does. A
// path already clean, as nearly all are, is its own key and shares its text.
QString pathKey(const QString &path);

// How the temporary name of an entry that steps aside in a cycle begins; the
// rest is eight random hexadecimal digits, "-" and the entry's own name, cut
// short where the whole would pass 255 bytes.
QString cycleTemporaryPrefix();

// One rename a run carries out, in execution order: a row's rename, or a
// step of a cycle to or from a temporary name. `entry` is all zero when the
// entry could not be looked up as the run was planned.
struct PlannedStep {
    qint64 rowNumber = 0;
    EntryId entry;
    QString oldPath;
    QString newPath;
};

// The renames of a run and the order they run in, before anything on disk has
// changed; `outcomes` holds one outcome per row, as judged from the rows'
// text (the rows still to run have no problem).
struct RenamePlan {
    // A rename of its own, or one through a temporary name: a cycle, whose
    // first rename's entry steps aside to `temporaryPath`, the others follow
    // in order into the names freed, and the first takes the last name freed;
    // or a change of letter case alone on a file system that takes both
    // spellings for one entry, which steps aside and takes its new name.
    // Indices into `renames`.
    struct Unit {
        std::span<const qsizetype> renames;
        QString temporaryPath;
        bool isCycle() const { return renames.size() > 1; }
        bool goesThroughTemporaryName() const { return !temporaryPath.isEmpty(); }
    };
    // Where in `order` a unit through a temporary name (a cycle, or a change
    // of letter case alone) begins and how many renames it takes.
    struct Cycle {
        qsizetype start = 0;
        qsizetype size = 0;
        QString temporaryPath;
    };
    QList<RowOutcome> outcomes;
    QList<PlannedRename> renames;
    // The indices of `renames` in the order they run, unit after unit. A plan
    // may hold a million renames, nearly all of them units of their own, so
    // only the cycles are kept apart, in order.
    QList<qsizetype> order;
    QList<Cycle> cycles;

    // Calls `visit` with each unit in the order they run.
    template <typename Visit>
    void forEachUnit(Visit &&visit) const
    {
        qsizetype nextCycle = 0;
        for (qsizetype at = 0; at < order.size();) {
            const bool cycleHere = nextCycle < cycles.size() && cycles[nextCycle].start == at;
            const qsizetype size = cycleHere ? cycles[nextCycle].size : 1;
            visit(Unit{std::span(order.constData() + at, size_t(size)),
                       cycleHere ? cycles[nextCycle].temporaryPath : QString()});
            nextCycle += cycleHere ? 1 : 0;
            at += size;
        }
    }

    // The one place that spells out the system renames of a unit, in the
    // order they run: the run carries out what the record is written from.
    // Calls visit(rename, oldPath, newPath), `rename` being the index into
    // `renames` the step serves, until it returns false: a cycle's first
    // entry steps aside to the temporary name, the others follow in order,
    // and the first is taken on from the temporary name last. Returns
    // whether every step was visited.
    template <typename Visit>
    bool forEachStepOf(const Unit &unit, Visit &&visit) const
    {
        const qsizetype first = unit.renames.front();
        if (!unit.goesThroughTemporaryName())
            return visit(first, renames[first].currentPath, renames[first].newPath);
        if (!visit(first, renames[first].currentPath, unit.temporaryPath))
            return false;
        for (const qsizetype index : unit.renames.subspan(1)) {
            if (!visit(index, renames[index].currentPath, renames[index].newPath))
                return false;
        }
        return visit(first, unit.temporaryPath, renames[first].newPath);
    }
};

// Judges the rows (see judgeRowText; the workbook at `tableWorkbookPath` is
// neither renamed nor given to another entry, see TableWorkbook; a current
// name that reads like an undecodable name beside it fails, see
// UndecodableNames; in folders made for Windows, new names Windows cannot use
// are refused, see refuseNamesWindowsCannotUse) and orders their renames;
// nothing on disk changes.
// A row that names the same entry as an earlier row, however it spells its
// folder, fails. Order: deepest current path first, so a folder's row cannot
// strand the rows of the entries inside it; a row whose new path is held by
// an entry that another row moves away runs after that row, so chains run
// from their free end; otherwise table order. Rows that move their entries
// round in a cycle (a to b and b to a, or longer) run as one unit: one entry
// steps aside to a temporary name (cycleTemporaryPrefix()) and takes its new
// name last. Where two spellings of a path reach one entry (a file system
// that ignores letter case), they are one name: a row whose new path reaches
// an entry another row moves away runs after it, and a row that changes only
// the letter case of its own entry's name steps aside to a temporary name
// first, as no rename that cannot replace can take the other spelling
// directly. Of two rows with the same new path the first to run gets it.
// With `listed`, the entries step 1 listed, a row whose entry is no longer
// the one listed under its folder and name is refused
// (EntryReplacedSinceListed) and renames nothing.
RenamePlan planNamingTableRenames(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath = {},
                                  const ListedEntries *listed = nullptr);

// A rename that gives an entry back a name it had: the name is taken as it
// is, without the checks a typed new name must pass.
struct RestoringRename {
    QString folder;
    QString currentName;
    QString newName;
    EntryId entry;
};

// Orders `renames` as planNamingTableRenames does; outcome i belongs to
// renames[i], and its rowNumber is i.
RenamePlan planRestoringRenames(const QList<RestoringRename> &renames);

// How many system renames the plan holds: one a rename, and one more for the
// step back from each temporary name.
qsizetype plannedStepCount(const RenamePlan &plan);

// Calls visit(rowNumber, entry, oldPath, newPath) with each of the plan's
// system renames in the order they run (see RenamePlan::forEachStepOf),
// without copying them out of the plan.
template <typename Visit>
void forEachPlannedStep(const RenamePlan &plan, Visit &&visit)
{
    plan.forEachUnit([&](const RenamePlan::Unit &unit) {
        plan.forEachStepOf(unit, [&](qsizetype rename, const QString &oldPath, const QString &newPath) {
            const PlannedRename &planned = plan.renames[rename];
            visit(plan.outcomes[planned.outcomeIndex].rowNumber, planned.entry, oldPath, newPath);
            return true;
        });
    });
}
