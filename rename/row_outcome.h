#pragma once

#include "rename/rename_no_replace.h"
#include "rename/windows_name_rules.h"

#include <QFlags>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <variant>

// A cell of the naming table as read back from the workbook: its text (an
// empty cell reads as the empty text), or nothing when it holds no usable text,
// such as a formula error. A row with such a cell is never renamed.
using TableCell = std::optional<QString>;

// A data row of the naming table: the entry's folder path (with its trailing
// separator), its current name and its new name.
struct NamingTableRow {
    qint64 rowNumber = 0;
    TableCell folder;
    TableCell currentName;
    TableCell newName;
    // The sheet does not show the row's new name: the row is hidden or
    // filtered out, or its column is hidden. Renaming pays it no heed; which
    // rows reach a rename is the caller's choice.
    bool hidden = false;
};

// The data rows from the block of the folder, current-name and new-name
// columns read from the sheet, in that order, its first row being row
// `firstRowNumber`. A cell missing from a short row counts as unreadable.
QList<NamingTableRow> namingTableRows(const QList<QList<TableCell>> &cells, qint64 firstRowNumber);

// The cells of a row, as the engine tells them apart; which column of the
// sheet holds each is the table layout's business.
enum class RowCell { Folder = 1, CurrentName = 2, NewName = 4 };
Q_DECLARE_FLAGS(RowCells, RowCell)
Q_DECLARE_OPERATORS_FOR_FLAGS(RowCells)

enum class RowStatus {
    Renamed,
    KeptEmptyNewName,
    UnchangedSameName,
    FailedUnreadableCell,
    FailedRename,
    // The row would rename the naming table's own workbook, or give its name,
    // or the name of a folder above it, to another entry.
    FailedTableWorkbook,
    // Not carried out, or undone, because of another row: one that names
    // the same entry, or one of the same cycle that could not be renamed.
    FailedByOtherRow,
    // Not carried out: the user stopped the run before its turn.
    NotRun,
};

// Why a row failed, for the step to put into words; the details a problem
// needs are named beside it, and the outcome holds them.
enum class RowProblem {
    None,
    UnreadableCells,           // RowCells: which
    FolderNotAbsolute,
    FolderWithoutClosingSlash,
    CurrentNameInvalid,
    CurrentNameReadsLikeUndecodableName,
    NewNameInvalidUtf16,
    NewNameControlCharacter,
    NewNameFormatCharacter,    // FormatCharacter
    NewNameInvisibleCharacter, // FormatCharacter: the character that shows nothing
    NewNameOnlyWhitespace,
    NewNameNothingVisible,     // FormatCharacter: the first character besides spaces
    NewNameEdgeWhitespace,
    NewNameNotPlain,
    NewNameBreaksWindowsRule,  // WindowsNameProblem: on a file system made for Windows
    IsTableWorkbook,
    NewNameIsTableWorkbook,
    NewNameIsTableWorkbookFolder,
    SameEntryAsEarlierRow,     // OtherRow: the row that was followed
    EntryReplacedSinceListed,  // another entry stands at the name step 1 listed
    CycleBrokenByOtherRow,     // OtherRow: the row of the cycle that failed
    RenameFailed,              // RenameFailure
    CycleCouldNotStepAside,    // RenameFailure: the first rename of a cycle
    StoppedBeforeRun,
};

struct FormatCharacter {
    char32_t code = 0;
};

struct OtherRow {
    qint64 number = 0;
};

using RowProblemDetails =
    std::variant<std::monostate, RowCells, FormatCharacter, OtherRow, RenameFailure, WindowsNameProblem>;

// What became of a row. The problem is the verdict: a row without one was
// renamed, unless its new name is empty or its current name, which leaves it
// alone.
struct RowOutcome {
    qint64 rowNumber = 0;
    // The current and the new name as read (empty when unreadable), for the
    // failure message.
    QString oldName;
    QString newName;
    RowProblem problem = RowProblem::None;
    RowProblemDetails details;
    // Where a cycle that could not be undone left this row's entry, as a
    // name in its folder; empty when the entry has a name of the table's.
    QString leftUnderTemporaryName;

    RowStatus status() const;
    bool failed() const;
    // How the rename failed, for FailedRename: InvalidName for a name the
    // row's text rules out. Other for any other status.
    RenameError error() const;
    // The system's own words for a failed rename, if it gave any.
    QString systemText() const;
    // The character a NewNameFormatCharacter, NewNameInvisibleCharacter or
    // NewNameNothingVisible row was refused for, else 0.
    char32_t formatCharacter() const;
    // The character a file system refused in a CharacterRefused rename, else 0.
    char32_t refusedCharacter() const;
    // The rule a NewNameBreaksWindowsRule row broke; rule None for any other.
    WindowsNameProblem windowsNameProblem() const;
};
