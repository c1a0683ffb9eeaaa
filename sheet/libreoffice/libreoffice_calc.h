#pragma once

#include "sheet/spreadsheet.h"

#include <chrono>
#include <memory>
#include <optional>

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

// The port with what tests and benchmarks also need of a real office: making
// workbooks, writing single cells and reading single cells back. Each
// operation is bounded in time like the port's.
class CalcOffice : public Spreadsheet {
public:
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
};

// Readies this process for talking to LibreOffice: the office's UNO runtime
// finds its registries through the environment, and a write to an office
// that has died fails that call instead of ending the program with SIGPIPE.
// Call it at start, on the main thread, before any other thread runs or any
// office starts: setting the environment while another thread reads it is
// undefined. Does nothing when LibreOffice is not installed (starting an
// office then says so), and nothing on later calls. When it was never called,
// the first connection to an office does it, on that connection's thread.
void prepareProcessForLibreOffice();

// Starts an office and connects to it, waiting at most `startLimit` for it to
// answer. On failure the text names what went wrong ("soffice" missing from
// the search path, the office stopped, or it did not answer in time) and no
// process of ours is left running.
SheetResult<std::unique_ptr<CalcOffice>> startLibreOfficeCalc(CalcWindow window,
                                                              std::chrono::seconds startLimit = std::chrono::seconds(90));

// Every office this program starts listens on a pipe whose name begins with
// this text: "quillmere-" and the program's process id, then "-".
QString officePipePrefix(qint64 processId);

// A QTemporaryDir template in the temporary folder for the offices' files of
// the program `processId`: "quillmere-<kind>-<process id>-XXXXXX".
QString officeTemporaryTemplate(const QString &kind, qint64 processId);

// Removes the private profiles and table copies that offices of earlier
// runs of the program left in the temporary folder when the program was
// killed, and the pipes those offices listened on, those whose program no
// longer runs. Only real folders and pipes of the user running us go, never
// anything a link leads to. What cannot be removed stays; nothing is
// reported.
void removeLeftoverOfficeFiles();

// The same as the port's starter for the steps.
StartSpreadsheet libreOfficeStarter(CalcWindow window);

// Whether the office the user works in (with windows, in the user's own
// profile) shows the workbook at `workbookPath` with changes not saved yet.
// Asked over a connection of its own, opened for the question and closed
// again; the office is neither started nor changed by it. Nothing when no
// such office runs, it does not show the workbook, or it does not answer
// within `limit`.
std::optional<bool> usersOfficeShowsUnsavedChanges(const QString &workbookPath,
                                                   std::chrono::seconds limit = std::chrono::seconds(5));
