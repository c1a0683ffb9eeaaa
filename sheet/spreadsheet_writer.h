#pragma once

#include "sheet/sheet_cells.h"
#include "sheet/sheet_result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// What step 2 needs of a spreadsheet application: a workbook in a window the
// user works in, the naming table written into it, shaded and sized, and
// the cell cursor where the user types. It never saves; the user does.
class SpreadsheetWriter {
public:
    // A hidden instance is quit and its traces removed; a visible one is left
    // running with its window for the user, without a connection of ours.
    virtual ~SpreadsheetWriter() = default;

    // Opens the workbook file. An instance with a window refuses a file it
    // could only open read-only, since the user could not save the table; a
    // hidden one reads it anyway. On failure no workbook is open and every
    // sheet operation fails until another workbook is opened.
    virtual SheetStatus openWorkbook(const QString &path) = 0;
    // Makes a new, empty workbook at `path`, saved there by the office in the
    // format its extension names (.xlsx Office Open XML, .ods OpenDocument,
    // any other Excel 97), and opens it as openWorkbook does. Fails without
    // writing anything when `path` already names a file or a link (an
    // existing file is never replaced) or its folder does not exist. On
    // failure no workbook is open; a file saved before the open failed stays.
    virtual SheetStatus createWorkbook(const QString &path) = 0;

    // Shows the workbook's window at a usable size, in front. Fails for a
    // hidden instance, which has no window to show.
    virtual SheetStatus showWindow() = 0;
    // Makes the first sheet, where the table goes, the one the window shows,
    // showing it first when the workbook hides it. Fails, with the sheet
    // left as it was, when it stays hidden (a workbook whose structure is
    // protected) or cannot be made the shown one.
    virtual SheetStatus activateFirstSheet() = 0;

    // Writes rows of texts with their top-left cell at (top, left), as if each
    // cell were put in turn; a short row leaves the cells right of it untouched.
    // Texts are stored as text: "001" or "=A1" never become numbers or formulas.
    virtual SheetStatus putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows) = 0;
    // The sheet's used extent and its cells as shown, as SpreadsheetReader
    // reads them: what the table held before it is written again.
    virtual SheetResult<UsedExtent> usedExtent() = 0;
    virtual SheetResult<CellTextRows> readTextBlock(const CellRect &rect) = 0;
    // Empties the cells of every rectangle: their values, texts and formulas
    // go, their formats stay.
    virtual SheetStatus clearCells(const QList<CellRect> &rects) = 0;

    // Gives each column from `firstColumn` to `lastColumn` the width of its
    // longest text, as the office's optimal width does.
    virtual SheetStatus fitColumnsToText(qint64 firstColumn, qint64 lastColumn) = 0;
    // Widens `column` to the width of `model` if it is narrower; a wider
    // column is left as it is.
    virtual SheetStatus widenColumnToMatch(qint64 column, qint64 model) = 0;
    // Puts the cell cursor on the cell, where the user's typing goes.
    virtual SheetStatus placeCursor(qint64 row, qint64 column) = 0;

    // Fills with colour `colorIndex` of the Excel 97 default palette; fails for
    // an index outside 1 to 56. Colours chosen this way survive saving as .xls.
    virtual SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) = 0;
    virtual SheetStatus clearFill(const CellRect &rect) = 0;

    // Runs the macro `name` of the first sheet's own module under the user's
    // macro-security settings. Fails when it is missing or refused.
    virtual SheetStatus runFirstSheetMacro(const QString &name) = 0;

    // Why the office no longer answers (it stopped, or a call ran out of
    // time); nothing while it answers. Once set, every operation fails.
    virtual std::optional<SheetFailure> unresponsiveReason() const = 0;
};

// Starts the spreadsheet application step 2 writes in. It fails with
// the cause, and nothing of ours is left running then.
using StartSpreadsheetWriter = std::function<SheetResult<std::unique_ptr<SpreadsheetWriter>>()>;
