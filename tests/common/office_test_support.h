#pragma once

#include "search/found_entries.h"
#include "sheet/libreoffice/calc_office.h"
#include "steps/step_three_job.h"
#include "tests/common/run_to_end.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

// A hidden office of the test's own; fails the current test when none starts.
std::unique_ptr<CalcOffice> startHiddenOfficeForTests();

// Hidden offices shared by every test of the run, started on first use and
// quit when the run ends: one to work in, one to read saved files back.
// Null (with the current test failed) when it cannot start.
CalcOffice *sharedWorkingOffice();
CalcOffice *sharedReadingOffice();

// Makes a workbook at `path` through `office`, stored as Excel 97, with the
// given rows written from A1, and leaves it open.
void makeWorkbook(CalcOffice &office, const QString &path, const QList<QStringList> &rowsFromA1 = {});

// Hides the first sheet of the workbook at `path` through `office` and saves
// it, as a user hiding the table's sheet would (see CalcOffice::hideFirstSheet);
// the workbook stays open there. Not for .xls: LibreOffice saves a hidden
// first sheet there as a shown one.
void hideFirstSheetOf(CalcOffice &office, const QString &path, bool protectStructure = false);

// What the sheet of a flat workbook hides, rows counted as indexes into the
// rows given and columns from 1. A filtered row is left out by the sheet's
// autofilter, which keeps the rows whose C does not begin with "filtered".
struct FlatSheetHiding {
    QList<qsizetype> hiddenRows = {};
    QList<qsizetype> filteredRows = {};
    QList<qint64> hiddenColumns = {};
};

// A table kept as a flat OpenDocument file, so that a test can give cells
// number formats and write it byte for byte: B to D of each row given as
// cell XML. Its cell styles: "jpg" (text shown with ".jpg" after it) and
// "four" (numbers with at least four digits).
QByteArray flatWorkbook(const QStringList &rowsOfCells, const FlatSheetHiding &hiding = {});
// The cell XML of a text cell.
QString flatTextCell(const QString &value);

// Reads the cells of `rect` as text, an unreadable cell as "<unreadable>".
QList<QStringList> readTexts(CalcOffice &office, const CellRect &rect);

// The pipe-name prefix of the offices this test process starts.
QString ownOfficePipePrefix();

// Starters for the steps, as the program wires them.
StartSpreadsheetWriter visibleOfficeStarter();
StartSpreadsheetReader hiddenOfficeStarter();

// Found entries made of two parallel lists, as a scan would list them.
FoundEntries foundEntries(const QStringList &folders, const QStringList &names);

// Ids of live processes whose command line contains `text`.
QList<qint64> processesMentioning(const QString &text);

// The command line of process `pid`, its arguments separated by NUL; empty
// once the process has ended.
QByteArray commandLineOf(qint64 pid);

// Ids of the processes of this test's own offices (see ownOfficePipePrefix)
// whose command line also contains `program`: "soffice.bin" for the office
// itself, "oosplash" for its launcher.
QList<qint64> ownOfficeProcesses(const char *program);


// Sizes of the X windows titled "<fileName> - LibreOffice Calc", as xwininfo
// reports them; the office may map more than one per document window.
QList<QSize> calcWindowsShowing(const QString &fileName);

// Ids of the visible offices this process started (headless ones are the
// tests' own helpers) whose command line mentions `program`; "" for all.
QList<qint64> visibleOfficesOfThisProcess(const char *program);

// Ends the visible offices that this process started and left running for the
// user, as the user closing their windows would; the launcher of each sees its
// office go and exits in turn. True when none of them is left.
bool endVisibleOfficesLeftToTheUser();
