#pragma once

#include "sheet/sheet_result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// Rows and columns count from 1, as the user sees them in the sheet.
struct CellRect {
    qint64 top = 1;
    qint64 left = 1;
    qint64 bottom = 1;
    qint64 right = 1;
};

// The last used row and column of a sheet, counted from A1.
struct UsedExtent {
    qint64 rows = 0;
    qint64 columns = 0;
};

// A cell read as text; empty when the cell holds no readable value (an error
// result such as #N/A). An empty cell reads as the empty text, not as empty.
using CellText = std::optional<QString>;
using CellTextRows = QList<QList<CellText>>;

// A running spreadsheet application holding at most one workbook of ours.
// Every cell operation works on the workbook's first sheet. Each operation is
// bounded in time; a failure leaves the sheet as it was unless stated.
class Spreadsheet {
public:
    // A hidden instance is quit and its traces removed; a visible one is left
    // running with its window for the user, without a connection of ours.
    virtual ~Spreadsheet() = default;

    // Opens the workbook file. An instance with a window refuses a file it
    // could only open read-only, since the user could not save the table; a
    // hidden one reads it anyway. On failure no workbook is open and every
    // sheet operation fails until another workbook is opened.
    virtual SheetStatus openWorkbook(const QString &path) = 0;
    // Opens the workbook file read-only: nothing done through this object
    // afterwards can write to the file, and it is let go without saving. It
    // opens even while another office has it open. Fails like openWorkbook.
    virtual SheetStatus openWorkbookForReading(const QString &path) = 0;
    // Makes a new, empty workbook at `path`, saved there by the office in the
    // format its extension names (.xlsx Office Open XML, .ods OpenDocument,
    // any other Excel 97), and opens it as openWorkbook does. Fails without
    // writing anything when `path` already names a file or a link (an
    // existing file is never replaced) or its folder does not exist. On
    // failure no workbook is open; a file saved before the open failed stays.
    virtual SheetStatus createWorkbook(const QString &path) = 0;

    // Closes the workbook without saving, so that the office no longer holds
    // its file open. Every sheet operation then fails until another workbook
    // is opened.
    virtual SheetStatus closeWithoutSaving() = 0;
    // Shows the workbook's window at a usable size, in front. Fails for a
    // hidden instance, which has no window to show.
    virtual SheetStatus showWindow() = 0;
    virtual SheetStatus activateFirstSheet() = 0;

    // Writes rows of texts with their top-left cell at (top, left), as if each
    // cell were put in turn; a short row leaves the cells right of it untouched.
    // Texts are stored as text: "001" or "=A1" never become numbers or formulas.
    virtual SheetStatus putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows) = 0;
    // The cells of `rect` as the sheet shows them: each cell's number format
    // applied, to texts as to numbers, whatever the column's width. Any text
    // the sheet holds arrives unchanged, lone surrogates included. A cell
    // holding an error value is unreadable (nullopt); an empty one is the
    // empty text, and so is one covered by a merged area, which shows only
    // its top-left cell. Returns one row per sheet row of `rect`, each of its
    // full width. Every cell is read or none is: when the office's copy of
    // the sheet comes out incomplete (a full temporary folder, say), the
    // read fails with the cause. On failure nothing is returned and the sheet
    // is unchanged.
    virtual SheetResult<CellTextRows> readTextBlock(const CellRect &rect) = 0;

    virtual SheetResult<UsedExtent> usedExtent() = 0;
    // Whether any cell of `rect` holds a formula, whatever it shows. On
    // failure nothing is known and the sheet is unchanged.
    virtual SheetResult<bool> holdsFormulas(const CellRect &rect) = 0;

    // Gives each column from `firstColumn` to `lastColumn` the width of its
    // longest text, as the office's optimal width does.
    virtual SheetStatus fitColumnsToText(qint64 firstColumn, qint64 lastColumn) = 0;
    // Widens `column` to the width of `model` if it is narrower; a wider
    // column is left as it is.
    virtual SheetStatus widenColumnToMatch(qint64 column, qint64 model) = 0;
    // Puts the cell cursor on the cell, where the user's typing goes.
    virtual SheetStatus placeCursor(qint64 row, qint64 column) = 0;

    // Empties the cells of every rectangle: their values, texts and formulas
    // go, their formats stay.
    virtual SheetStatus clearCells(const QList<CellRect> &rects) = 0;

    // Fills with colour `colorIndex` of the Excel 97 default palette; fails for
    // an index outside 1 to 56. Colours chosen this way survive saving as .xls.
    virtual SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) = 0;
    virtual SheetStatus clearFill(const CellRect &rect) = 0;

    // Runs the macro `name` of the first sheet's own module under the user's
    // macro-security settings. Fails when it is missing or refused.
    virtual SheetStatus runFirstSheetMacro(const QString &name) = 0;

    // Ends a hidden instance now; a later operation fails.
    virtual SheetStatus quit() = 0;

    // Whether the office still answers a short call and, for a hidden one,
    // still has its private profile. False once it has stopped; a hung office
    // is given a few seconds.
    virtual bool isAnswering() = 0;

    // Why the office no longer answers (it stopped, or a call ran out of
    // time); empty while it answers. Once set, every operation fails.
    virtual QString unresponsiveReason() const = 0;
};

// Whether the spreadsheet window the user works in shows the workbook at the
// path with changes not saved yet; nothing when that cannot be known (no
// such window, or no answer in a few seconds). Asking changes nothing.
using AskUnsavedChanges = std::function<std::optional<bool>(const QString &workbookPath)>;

// Starts the spreadsheet application a step works in. On failure the text
// names the cause and nothing of ours is left running.
using StartSpreadsheet = std::function<SheetResult<std::unique_ptr<Spreadsheet>>()>;
