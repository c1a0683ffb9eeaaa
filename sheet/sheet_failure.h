#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

// What went wrong with a spreadsheet operation, as data: the sheet layer
// words nothing for the user. The steps say it (sheetFailureText), in the
// user's words first, the office's or the system's own text after them.

// The kinds of failure. Each says which of SheetFailure's fields it fills:
// `names` (paths, names, what a lock file holds) and `numbers` in the order
// given; `detail` only where it says so; `cause` only where it says so.
enum class SheetFailureKind {
    // A failure nobody described.
    Unknown,

    // The office and its runtime.
    OfficeNotInstalled, // no "soffice" on the search path
    RuntimeMissing, // names: the runtime's bootstrap file
    RuntimeWontStart, // detail: the runtime's error
    ProgramWontStart, // names: the program; detail: the system's error
    NoPrivateProfile, // names: the temporary folder
    StoppedWhileStarting, // numbers: its exit status
    SilentAfterStart, // numbers: the seconds waited
    CannotConnect, // detail: the bridge's error
    Refused, // detail: the office's error, possibly empty
    Silent, // numbers: the seconds waited
    ConnectionLost,
    Quit, // the office was ended by us
    VisibleOfficeKept, // a visible office is the user's, and left running
    HiddenHasNoWindow,

    // Opening and making workbooks.
    CannotOpen, // names: the workbook; cause: why
    CannotSaveFrom, // names: the workbook; cause: why the window it was opened in cannot save it
    IsAFolder, // names: the folder
    FileMissing,
    Locked, // names: who holds the lock, since when, the lock file
    NotASpreadsheet,
    OpenButNotAsSpreadsheet,
    OfficeCannotRead,
    OnlyReadOnly,
    OpeningGivenUp, // cause: what was seen last, when anything failed
    NotShownInTime, // numbers: the seconds waited
    AlreadyExists, // names: the path
    FolderMissing, // names: the folder
    VisibleWorkbookKept, // a workbook of the user's window stays open
    NoWorkbookOpen,
    NoSheetView,
    SelectionNotACell, // the window's selection, asked for where the cursor is
    HiddenFirstSheetNotShown, // the office left it hidden (a workbook whose structure is protected)

    // Cells and the sheet.
    RowOutsideSheet, // numbers: the row, the sheet's last row
    ColumnOutsideSheet, // numbers: the column, the sheet's last column
    EmptyRange,
    CellHoldsError, // numbers: the row, the column
    ColourOutsidePalette, // numbers: the colour index
    NoMacroModule,
    MacrosNotAllowed,
    MacroMissing, // names: the macro

    // The sheet's text copy, which readTextBlock reads.
    NoTemporaryFolder, // names: the temporary folder
    TemporaryFolderFull, // names: the temporary folder; cause: what was seen of the copy
    WorkbookGone, // names: the workbook's path; cause: the failed copy
    TextCopyNotWritten, // cause: the office's failure, when it failed
    TextCopyUnreadable, // detail: the system's error
    TextCopyIncomplete,
    TextCopyBrokenOff, // numbers: the row where it breaks off
    TextCopyShort, // numbers: the last row it holds, the table's last row
};

// One failure: its kind, with what that kind carries, filled in as
// SheetFailure(kind).withNames({path}).withCause(earlier).
struct SheetFailure {
    SheetFailure(SheetFailureKind what = SheetFailureKind::Unknown) : kind(what) {}

    SheetFailure withDetail(QString text) const
    {
        SheetFailure failure = *this;
        failure.detail = std::move(text);
        return failure;
    }
    SheetFailure withNames(QStringList given) const
    {
        SheetFailure failure = *this;
        failure.names = std::move(given);
        return failure;
    }
    SheetFailure withNumbers(QList<qint64> given) const
    {
        SheetFailure failure = *this;
        failure.numbers = std::move(given);
        return failure;
    }
    SheetFailure withCause(SheetFailure earlier) const
    {
        SheetFailure failure = *this;
        failure.cause = std::make_shared<const SheetFailure>(std::move(earlier));
        return failure;
    }

    SheetFailureKind kind;
    // The office's or the system's own text, as it came.
    QString detail;
    QStringList names;
    QList<qint64> numbers;
    // The failure this one came from, for kinds that carry one.
    std::shared_ptr<const SheetFailure> cause;

    // Two failures are equal when they say the same, causes included.
    friend bool operator==(const SheetFailure &one, const SheetFailure &other)
    {
        return one.kind == other.kind && one.detail == other.detail && one.names == other.names
               && one.numbers == other.numbers
               && (one.cause == other.cause || (one.cause && other.cause && *one.cause == *other.cause));
    }
};
