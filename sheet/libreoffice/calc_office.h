#pragma once

#include "sheet/spreadsheet_reader.h"
#include "sheet/spreadsheet_writer.h"

// LibreOffice Calc driven over its UNO bridge. No UNO type shows here, so
// callers build without the office's headers.

enum class CalcWindow {
    // In the user's own profile, with windows; left running for the user when
    // the object goes. An office of the user's that is already running is used,
    // and a workbook it already shows is worked on in that window as it stands,
    // unsaved changes included, rather than loaded a second time.
    Visible,
    // Headless, in a private profile of its own that is removed when the
    // object goes; it ignores document lock files, so it reads a workbook that
    // is still open in a visible window.
    Hidden,
};

// Both ports, with what tests and benchmarks also need of a real office:
// making workbooks, writing single cells and reading single cells back. Each
// operation is bounded in time like the ports'.
class CalcOffice : public SpreadsheetReader, public SpreadsheetWriter {
public:
    // Both ports read cells alike; one office answers for both.
    using SpreadsheetReader::readTextBlock;
    using SpreadsheetReader::usedExtent;

    // As a user typing it: "12" becomes a number, "=1+1" a formula.
    virtual SheetStatus putCellFormula(qint64 row, qint64 column, const QString &formula) = 0;
    // The cell's value as the user sees it; fails for an unreadable cell.
    virtual SheetResult<QString> cellText(qint64 row, qint64 column) = 0;
    // The column's width in hundredths of a millimetre.
    virtual SheetResult<qint64> columnWidth(qint64 column) = 0;
    // The cell's fill as a palette index, or 0 when it has none; a colour
    // outside the palette reads as -1.
    virtual SheetResult<int> fillColorIndex(qint64 row, qint64 column) = 0;
    // Writes the open workbook to its file, in the format it was opened in.
    virtual SheetStatus saveWorkbook() = 0;

    // Hides the first sheet as a user would, after adding a shown sheet
    // behind it when it is the only one (a workbook always shows one); with
    // `protectStructure`, then protects the workbook's structure, without a
    // password, so that no sheet can be shown or hidden.
    virtual SheetStatus hideFirstSheet(bool protectStructure) = 0;
    // Where the user's typing would go: the sheet the window shows and
    // the cell of its cursor.
    struct CursorPlace {
        qint64 sheet = 0; // from 1
        bool sheetShown = false;
        qint64 row = 0;
        qint64 column = 0;
        bool operator==(const CursorPlace &) const = default;
    };
    virtual SheetResult<CursorPlace> cursorPlace() = 0;
};
