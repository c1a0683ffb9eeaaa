#pragma once

#include "search/found_entries.h"
#include "sheet/spreadsheet_writer.h"
#include "work/work_control.h"

#include <QString>

// Writing the naming table: row 1 the header, then one row per listed entry
// with its folder in column B and its file name in column C, every second
// group of rows with the same folder shaded. Nothing is saved: the user fills
// in column D and saves. A new name already in column D stays only where its
// row held the same folder and name before; beside any other entry it is
// cleared, so that a workbook used again cannot rename a file to a name typed
// for another. The table ends with its last entry: below it, columns A to D
// and the shading of every row are cleared down to the end of the sheet's
// used area, so that no row of an earlier, longer table stays to be renamed.

// Where step 2 tells the user what went wrong: a message box of the main
// window.
class NamingTableView {
public:
    virtual ~NamingTableView() = default;
    virtual void showMessage(const QString &text) = 0;
};

// Opens the workbook in a spreadsheet window started by `startVisible` and
// writes the table of the found entries there; a workbook that does not
// exist yet is first made by the office, empty, in the format its extension
// names, and an existing file is never replaced by a new one; the window stays open with the
// workbook unsaved, and the program keeps no hold on it. Every problem the
// user must know of comes as one message through `view`: the office
// missing, failing to start or not answering in time (the table
// stops there and no process of ours is left behind), a workbook that cannot
// be made or opened, whose first sheet cannot be shown in the window (it
// is shown first when the workbook hides it) or whose earlier rows below the
// table cannot be cleared (no table is started), and entries beyond the last row of
// the workbook's sheet, 65,536 rows for .xls and 1,048,576 for the newer
// formats (said before writing; the entries that fit are written).
// Any other operation that fails is skipped and the rest of the table is
// still written; nothing is said about it. Returns whether the table stands
// in the window: false when the office or the workbook failed.
// With `control`, the rows are written in blocks small enough to take the
// office well under a second each, and their count reported there; a stop
// asked for there ends the writing before the next block (or, asked while
// the office starts, once it has started): the workbook stays open in the
// user's window with the rows written so far, nothing is saved, the message
// says how many rows were written, and false comes back.
bool exportNamingTable(const StartSpreadsheetWriter &startVisible, const QString &workbookPath, const FoundEntries &entries,
                       NamingTableView &view, WorkControl *control = nullptr);

// The same table written through an office that is already running, which is
// left running with the workbook open and unsaved.
bool writeNamingTable(SpreadsheetWriter &office, const QString &workbookPath, const FoundEntries &entries,
                      NamingTableView &view, WorkControl *control = nullptr);

// Step 2's answer to a stop after `written` of `total` rows.
QString tableWritingCancelledText(qint64 written, qint64 total);
