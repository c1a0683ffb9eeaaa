#pragma once

#include "sheet/sheet_cells.h"
#include "sheet/sheet_result.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// What step 3 and its read-ahead need of a spreadsheet application: open a
// saved workbook without the power to change it, read its table, and let
// the office go.
class SpreadsheetReader {
public:
    // A hidden instance is quit and its traces removed; a visible one is left
    // running with its window for the user, without a connection of ours.
    virtual ~SpreadsheetReader() = default;

    // Opens the workbook file read-only: nothing done through this object
    // afterwards can write to the file, and it is let go without saving. It
    // opens even while another office has it open. On failure no workbook is
    // open and every sheet operation fails until another workbook is opened.
    virtual SheetStatus openWorkbookForReading(const QString &path) = 0;
    // Closes the workbook without saving, so that the office no longer holds
    // its file open. Every sheet operation then fails until another workbook
    // is opened.
    virtual SheetStatus closeWithoutSaving() = 0;

    virtual SheetResult<UsedExtent> usedExtent() = 0;
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
    // Whether any cell of `rect` holds a formula, whatever it shows. On
    // failure nothing is known and the sheet is unchanged.
    virtual SheetResult<bool> holdsFormulas(const CellRect &rect) = 0;
    // For each sheet row of `rect`, whether the sheet shows all of its cells
    // there: false for a row hidden by hand or filtered out, and for every
    // row when a column of `rect` is hidden or the first sheet itself is.
    // One answer however many rows. On failure nothing is known and the
    // sheet is unchanged.
    virtual SheetResult<QList<bool>> shownRows(const CellRect &rect) = 0;

    // Ends a hidden instance now; a later operation fails.
    virtual SheetStatus quit() = 0;
    // Whether the office still answers a short call and, for a hidden one,
    // still has its private profile. False once it has stopped; a hung office
    // is given a few seconds.
    virtual bool isAnswering() = 0;
};

// Whether the spreadsheet window the user works in shows the workbook at the
// path with changes not saved yet; nothing when that cannot be known (no
// such window, or no answer in a few seconds). Asking changes nothing.
using AskUnsavedChanges = std::function<std::optional<bool>(const QString &workbookPath)>;

// Starts the spreadsheet application step 3 reads in. It fails with
// the cause, and nothing of ours is left running then.
using StartSpreadsheetReader = std::function<SheetResult<std::unique_ptr<SpreadsheetReader>>()>;
