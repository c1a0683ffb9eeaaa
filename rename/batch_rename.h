#pragma once

#include "rename/entry_identity.h"
#include "rename/rename_no_replace.h"

#include <QList>
#include <QtGlobal>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>

// A cell of the naming table as read back from the workbook: its text (an
// empty cell reads as the empty text), or nothing when it holds no usable text,
// such as a formula error. A row with such a cell is never renamed.
using TableCell = std::optional<QString>;

// A data row of the naming table: column B is the folder path (with its
// trailing separator), C the current name, D the new name.
struct NamingTableRow {
    qint64 rowNumber = 0;
    TableCell folder;
    TableCell currentName;
    TableCell newName;
};

// The data rows from the block of columns B to D read from the sheet, its
// first row being row `firstRowNumber`. A cell missing from a short row counts
// as unreadable.
QList<NamingTableRow> namingTableRows(const QList<QList<TableCell>> &cellsBtoD, qint64 firstRowNumber);

enum class RowStatus {
    Renamed,
    KeptEmptyNewName,
    UnchangedSameName,
    FailedUnreadableCell,
    FailedRename,
    // The row would rename the naming table's own workbook, or give its name
    // to another entry.
    FailedTableWorkbook,
    // Not carried out, or undone, because of another row: one that names
    // the same entry, or one of the same cycle that could not be renamed.
    FailedByOtherRow,
};

// Why a row failed, for the step to put into words. The details a problem
// needs are in the outcome's fields named beside it.
enum class RowProblem {
    None,
    UnreadableCells,           // unreadableColumns
    FolderNotAbsolute,
    FolderWithoutClosingSlash,
    CurrentNameInvalid,
    NewNameInvalidUtf16,
    NewNameControlCharacter,
    NewNameFormatCharacter,    // formatCharacter
    NewNameOnlyWhitespace,
    NewNameEdgeWhitespace,
    NewNameNotPlain,
    IsTableWorkbook,
    NewNameIsTableWorkbook,
    SameEntryAsEarlierRow,     // otherRow, the row that was followed
    CycleBrokenByOtherRow,     // otherRow, the row of the cycle that failed
    RenameFailed,              // error, systemText
    CycleCouldNotStepAside,    // error, systemText: the first rename of a cycle
};

struct RowOutcome {
    qint64 rowNumber = 0;
    RowStatus status = RowStatus::Renamed;
    // Meaningful for FailedRename only.
    RenameError error = RenameError::Other;
    // Columns C and D as read (empty when unreadable), for the failure message.
    QString oldName;
    QString newName;
    RowProblem problem = RowProblem::None;
    char32_t formatCharacter = 0;
    // The letters of the columns that could not be read, in order ("BD").
    QString unreadableColumns;
    qint64 otherRow = 0;
    // The system's own words for a failed rename, if it gave any.
    QString systemText;
    // Where a cycle that could not be undone left this row's entry, as a
    // name in its folder; empty when the entry has a name of the table's.
    QString leftUnderTemporaryName;

    bool failed() const
    {
        return status == RowStatus::FailedUnreadableCell || status == RowStatus::FailedRename ||
               status == RowStatus::FailedTableWorkbook || status == RowStatus::FailedByOtherRow;
    }
};

// How the temporary name of an entry that steps aside in a cycle begins; the
// rest is eight random hexadecimal digits, "-" and the entry's own name, cut
// short where the whole would pass 255 bytes.
QString cycleTemporaryPrefix();

// One rename a run will carry out, in execution order: a row's rename, or a
// step of a cycle to or from a temporary name. `entry` is all zero when the
// entry could not be looked up as the run was planned.
struct PlannedStep {
    qint64 rowNumber = 0;
    EntryId entry;
    QString oldPath;
    QString newPath;
};

// A row's rename as planned: the entry at `currentPath` (folder + current
// name) is to get `newPath`.
struct PlannedRename {
    qsizetype outcomeIndex = 0;
    // Where the current name begins in `currentPath`, after its folder.
    qsizetype nameStart = 0;
    QString currentPath;
    QString newPath;
    EntryId entry;

    QStringView folder() const { return QStringView(currentPath).first(nameStart); }
    QStringView currentName() const { return QStringView(currentPath).sliced(nameStart); }
};

// The renames of a run and the order they run in, before anything on disk has
// changed; `outcomes` holds one outcome per row, as judged from the rows'
// text (the rows still to run say Renamed).
struct RenamePlan {
    // A rename of its own, or a cycle: the first rename's entry steps aside
    // to `temporaryPath`, the others follow in order into the names freed,
    // and the first takes the last name freed. Indices into `renames`.
    struct Unit {
        std::span<const qsizetype> renames;
        QString temporaryPath;
        bool isCycle() const { return renames.size() > 1; }
    };
    // Where in `order` a cycle begins and how many renames it takes.
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
};

// Judges the rows and orders their renames as carryOutNamingTable
// describes, `tableWorkbookPath` being the workbook the table was read from;
// nothing on disk changes.
RenamePlan planNamingTableRenames(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath = {});

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

// The plan's system renames in the order they will run.
QList<PlannedStep> plannedSteps(const RenamePlan &plan);

// How many system renames the plan holds: one a unit, and one more for a
// cycle's step back from its temporary name.
qsizetype plannedStepCount(const RenamePlan &plan);

// Calls visit(rowNumber, entry, oldPath, newPath) with each of the plan's
// system renames in the order they will run, without copying them out of the
// plan: a cycle's first entry steps aside to the temporary name, the others
// follow in order, and the first is taken on from the temporary name last.
template <typename Visit>
void forEachPlannedStep(const RenamePlan &plan, Visit &&visit)
{
    plan.forEachUnit([&](const RenamePlan::Unit &unit) {
        const PlannedRename &first = plan.renames[unit.renames.front()];
        const qint64 firstRow = plan.outcomes[first.outcomeIndex].rowNumber;
        if (!unit.isCycle())
            return visit(firstRow, first.entry, first.currentPath, first.newPath);
        visit(firstRow, first.entry, first.currentPath, unit.temporaryPath);
        for (const qsizetype index : unit.renames.subspan(1)) {
            const PlannedRename &member = plan.renames[index];
            visit(plan.outcomes[member.outcomeIndex].rowNumber, member.entry, member.currentPath, member.newPath);
        }
        visit(firstRow, first.entry, unit.temporaryPath, first.newPath);
    });
}

// Carries out the plan's units in order and returns the plan's outcomes as
// they then stand; see carryOutNamingTable for what a failure leaves.
QList<RowOutcome> carryOutRenamePlan(const RenamePlan &plan);

// Renames every row's entry from folder + current name to folder + new name
// (no separator inserted) without ever replacing an existing entry. A row
// fails without touching anything when a cell is unreadable, the folder is not
// an absolute path or does not end with "/", a name is ".", "..", or holds "/"
// or NUL, the new name begins or ends with whitespace or holds a control
// character, a format character (general category Cf, such as U+200B or
// U+202E) or an unpaired UTF-16 surrogate, an earlier row names the same
// entry, the current or the new path is the workbook at `tableWorkbookPath`
// (the same file, however the row spells its path), or the rename itself
// fails; the next row follows. A folder above that workbook may be renamed. An empty new name
// or one equal to the current name leaves the row alone and is no failure.
// Order: deepest current path first, so a folder's row cannot strand the rows
// of the entries inside it; a row whose new path is held by an entry that
// another row moves away runs after that row, so chains run from their free
// end; otherwise table order. Rows that move their entries round in a cycle
// (a to b and b to a, or longer) run as one: one entry steps aside to a
// temporary name (cycleTemporaryPrefix()) and takes its new name last. Of two
// rows with the same new path the first to run gets it.
// Returns one outcome per row, in the order of `rows`. Renames already done
// stay done, except in a cycle: a cycle that cannot be completed is undone
// and all its rows fail; should an undo fail too, the rows still renamed are
// reported renamed and the row of an entry left under its temporary name
// gives that name. Every entry always keeps exactly one name.
// The same as carryOutRenamePlan(planNamingTableRenames(rows, tableWorkbookPath)).
QList<RowOutcome> carryOutNamingTable(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath = {});
