#pragma once

#include "rename/row_outcome.h"

#include "rename/rename_plan.h"

#include <QList>
#include <QString>

#include <memory>

// What a naming table will do, known before anything is renamed: a dry run
// of step 3 over the rows as saved, with the same judgement and the same plan
// (cycles, chains and swaps pass), nothing renamed and no record written.

// Why the check stops at a row: a failure step 3 would meet, or a warning of
// something the row renames that the user may not mean.
enum class CheckProblem : quint8 {
    // Failures: step 3 would not rename the row.
    Refused, // the row's outcome holds the problem step 3 gives
    EntryGone, // no entry stands at the row's folder and name
    SameNewPath, // other rows give the same new path (otherRows)
    NewNameTaken, // an entry the table does not move away holds the new path
    // Warnings: step 3 renames the row if the user goes on.
    ExtensionChanged, // the part after the last "." is dropped or another
    HiddenRow, // the sheet hides the row, which holds a new name
};

bool isWarning(CheckProblem problem);

// The part of a name after its last ".", or nothing; a name that only begins
// with a dot (".profile") has none. What ExtensionChanged compares.
QStringView extensionOf(QStringView name);

// A row the check stops at, with the cells the user sees.
struct RowFinding {
    qint64 rowNumber = 0;
    CheckProblem problem = CheckProblem::Refused;
    // As step 3's run would give it: the problem, for Refused, EntryGone
    // (RenameFailed, SourceMissing) and NewNameTaken (RenameFailed,
    // TargetExists), so that the reason shown is the one step 3 gives.
    RowOutcome outcome;
    // For SameNewPath: the other rows with the same new path.
    QList<qint64> otherRows;
    QString folder;
    QString currentName;
    QString newName;
    // For SameNewPath: the new path the rows share.
    QString newPath;
};

struct TableCheck {
    // Rows whose entry the run renames, warned ones included.
    qsizetype willRename = 0;
    // Rows the last run of the same table already carried out (see
    // checkNamingTable): they count as done and are left out.
    QList<qint64> doneByLastRun;
    // One per row that fails or warns, in row order; the first problem found
    // in the order of CheckProblem.
    QList<RowFinding> findings;

    qsizetype failing() const;
    qsizetype warned() const;
    qsizetype countOf(CheckProblem problem) const;
    bool clean() const { return findings.isEmpty() && doneByLastRun.isEmpty(); }

    // The plan of all the rows the check made: a run of exactly these rows
    // right after the check may take it rather than plan again.
    std::shared_ptr<const RenamePlan> plan;
};

// Checks `rows`, read from the workbook at `workbookPath`, against the file
// system as it stands now. Two rows give the same new path when the volume
// takes them for one name (letter case ignored on volumes made for Windows).
// A new path is taken when an entry stands there that no row of the plan
// moves away (its own entry under another letter case is no taker). A row
// counts as done by the last run when the newest step-3 run in
// `recordsFolder` of the same workbook, ended and not undone, renamed it and
// the entry now at its new path is the one that run moved there. Reads the
// folders and the records; changes nothing. Cannot fail: what cannot be
// looked at is judged as step 3 would find it (an entry that cannot be
// looked up is gone). With `listed`, a row whose entry was replaced since
// step 1 listed it is refused, as the plan refuses it.
TableCheck checkNamingTable(const QList<NamingTableRow> &rows, const QString &workbookPath,
                            const QString &recordsFolder, const ListedEntries *listed = nullptr);

// The rows step 3 goes on with after the check: every row but those done by
// the last run. Cannot fail.
QList<NamingTableRow> rowsNotDone(const QList<NamingTableRow> &rows, const TableCheck &check);
