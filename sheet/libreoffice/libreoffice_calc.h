#pragma once

#include "sheet/libreoffice/calc_office.h"
#include "sheet/libreoffice/office_connection.h"
#include "sheet/libreoffice/uno_names.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/table/XCell.hpp>

#include <chrono>
#include <memory>

// The Calc implementation's own header, never included by users of the port.

inline constexpr auto shortCallLimit = std::chrono::seconds(30);
inline constexpr auto longCallLimit = std::chrono::seconds(120);
inline constexpr auto exitLimit = std::chrono::seconds(30);
// An office that takes longer than this to say it is there is of no use to a
// step that wants to answer at once.
inline constexpr auto answerLimit = std::chrono::seconds(5);

// Opening a workbook and writing its text copy take the office time in step
// with the table: on a busy 2-core machine a 25 MB .xlsx of 1,000,000 rows
// took about 150 s to open and 80 s to copy as text. These bounds grow with
// the file and with the rows copied, so that only an office that has stopped
// is given up on, not one working through a large table.
inline std::chrono::milliseconds openingLimit(qint64 fileBytes)
{
    return longCallLimit + std::chrono::seconds(12) * (fileBytes / (1024 * 1024));
}
inline std::chrono::milliseconds textCopyLimit(qint64 rows)
{
    return longCallLimit + std::chrono::seconds(20) * (rows / 100000);
}

// CalcOffice on one LibreOffice over its connection, its work defined in the
// libreoffice_calc_*.cpp files named for it.
class LibreOfficeCalc : public CalcOffice, private OfficeConnection {
public:
    // `program` is the office's launcher ("soffice"), which started
    // `launcher` and also hands files to a running office.
    LibreOfficeCalc(CalcWindow kind, QString program, std::unique_ptr<OfficeProcess> launcher,
                    std::unique_ptr<QTemporaryDir> privateProfile, QString pipe)
        : OfficeConnection(std::move(launcher), std::move(pipe),
                           kind == CalcWindow::Hidden ? OfficeOnScreen::Hidden : OfficeOnScreen::Shown),
          window(kind), launcherPath(std::move(program)),
          profile(std::move(privateProfile))
    {
    }

    ~LibreOfficeCalc() override
    {
        if (window == CalcWindow::Hidden) {
            bestEffort(quit());
        } else {
            leaveToUser();
        }
        dropConnection();
    }

    using OfficeConnection::connect;

    SheetStatus openWorkbook(const QString &path) override;
    SheetStatus openWorkbookForReading(const QString &path) override;
    SheetStatus createWorkbook(const QString &path) override;
    SheetStatus showWindow() override;
    SheetStatus activateFirstSheet() override;
    SheetStatus putCellFormula(qint64 row, qint64 column, const QString &formula) override;
    SheetResult<QString> cellText(qint64 row, qint64 column) override;
    SheetStatus putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows) override;
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override;
    SheetResult<UsedExtent> usedExtent() override;
    SheetResult<bool> holdsFormulas(const CellRect &rect) override;
    SheetResult<QList<bool>> shownRows(const CellRect &rect) override;
    SheetStatus closeWithoutSaving() override;
    SheetStatus fitColumnsToText(qint64 firstColumn, qint64 lastColumn) override;
    SheetStatus widenColumnToMatch(qint64 column, qint64 model) override;
    SheetStatus placeCursor(qint64 row, qint64 column) override;
    SheetResult<qint64> columnWidth(qint64 column) override;
    SheetStatus clearCells(const QList<CellRect> &rects) override;
    SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) override;
    SheetStatus clearFill(const CellRect &rect) override;
    SheetResult<int> fillColorIndex(qint64 row, qint64 column) override;
    SheetStatus runFirstSheetMacro(const QString &name) override;
    SheetStatus saveWorkbook() override;
    SheetStatus hideFirstSheet(bool protectStructure) override;
    SheetResult<CursorPlace> cursorPlace() override;
    SheetStatus quit() override;
    bool isAnswering() override;
    std::optional<SheetFailure> unresponsiveReason() const override { return lost; }

private:
    void leaveToUser();
    // The helpers below run inside guarded calls: they throw a CallFailure for
    // what our own checks find, and let the office's exceptions pass.

    // Closes our workbook, if any, unsaved changes and all.
    void closeWorkbook();
    // Throws when no workbook is open.
    Reference<sheet::XSpreadsheet> firstSheet();
    // Throws for a cell outside the sheet or when no workbook is open.
    Reference<table::XCell> cell(qint64 row, qint64 column);
    // The rectangles of the first sheet as one list of ranges; throws like
    // rangeAddress() and when no workbook is open.
    Reference<sheet::XSheetCellRangeContainer> rangeList(const QList<CellRect> &rects);
    // Takes `component` as our workbook; one that is not a spreadsheet is
    // closed and refused.
    void adoptWorkbook(const Reference<lang::XComponent> &component);
    // Whether the office is in the middle of opening a document: it has a
    // window still waiting for its document, which it keeps while it asks
    // the user about the file.
    bool openingUnderWay();
    // Throws, naming who holds it, when another office has locked `file`.
    void refuseIfLocked(const QFileInfo &file);
    // Works in the window that shows `file`, opening it as the user would
    // when none does. Its failure does not name the path.
    SheetStatus openInTheUsersWindow(const QFileInfo &file);
    // Has the office open `file` as a double-click would and waits for its
    // document: as long as the office asks the user about the file, and up
    // to a bound otherwise. Never ends the office, whatever happens; a
    // question the user cancels fails as a file not opened.
    SheetStatus openAsTheUserWould(const QFileInfo &file);
    // Loads `file` over the bridge, read-only when `readOnly`. Fails without
    // the path in its failure; no workbook is open then.
    SheetStatus loadWorkbook(const QFileInfo &file, bool readOnly);

    const CalcWindow window;
    const QString launcherPath;
    std::unique_ptr<QTemporaryDir> profile;
};
