#include "sheet/libreoffice/libreoffice_calc.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/sheet/XCellAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/util/XProtectable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

// What the user sees of the sheet besides its content: column widths, the
// cell cursor, and which sheet shows.

namespace {

Reference<beans::XPropertySet> columnOf(const Reference<sheet::XSpreadsheet> &sheet, qint64 column)
{
    const Reference<container::XIndexAccess> columns(
        Reference<table::XColumnRowRange>(sheet, UNO_QUERY_THROW)->getColumns(), UNO_QUERY_THROW);
    return Reference<beans::XPropertySet>(columns->getByIndex(columnIndex(column)), UNO_QUERY_THROW);
}

} // namespace

SheetStatus LibreOfficeCalc::fitColumnsToText(qint64 firstColumn, qint64 lastColumn)
{
    return guarded(longCallLimit, [&] {
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        for (qint64 column = firstColumn; column <= lastColumn; ++column)
            columnOf(sheet, column)->setPropertyValue("OptimalWidth", Any(true));
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::widenColumnToMatch(qint64 column, qint64 model)
{
    return guarded(shortCallLimit, [&] {
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        const sal_Int32 wanted = columnOf(sheet, model)->getPropertyValue("Width").get<sal_Int32>();
        const Reference<beans::XPropertySet> widened = columnOf(sheet, column);
        if (widened->getPropertyValue("Width").get<sal_Int32>() < wanted)
            widened->setPropertyValue("Width", Any(wanted));
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::placeCursor(qint64 row, qint64 column)
{
    return guarded(shortCallLimit, [&] {
        const Reference<view::XSelectionSupplier> selection(workbook->getCurrentController(), UNO_QUERY_THROW);
        // Selecting the cell marks it as a range of one cell, and Enter then
        // stays inside the mark: every name typed would land in this cell.
        // Selecting no range afterwards drops the mark and leaves the cursor
        // there, so that Enter walks down the column.
        selection->select(Any(cell(row, column)));
        selection->select(Any(rangeList({})));
        return std::monostate{};
    });
}

SheetResult<qint64> LibreOfficeCalc::columnWidth(qint64 column)
{
    return guarded(shortCallLimit, [&] {
        return qint64(columnOf(firstSheet(), column)->getPropertyValue("Width").get<sal_Int32>());
    });
}

SheetStatus LibreOfficeCalc::hideFirstSheet(bool protectStructure)
{
    return guarded(shortCallLimit, [&] {
        const Reference<sheet::XSpreadsheet> first = firstSheet();
        const Reference<sheet::XSpreadsheets> sheets = Reference<sheet::XSpreadsheetDocument>(workbook, UNO_QUERY_THROW)->getSheets();
        const Reference<container::XIndexAccess> sheetList(sheets, UNO_QUERY_THROW);
        if (sheetList->getCount() == 1)
            sheets->insertNewByName("shown", 1);
        Reference<beans::XPropertySet>(first, UNO_QUERY_THROW)->setPropertyValue("IsVisible", Any(false));
        if (protectStructure)
            Reference<util::XProtectable>(workbook, UNO_QUERY_THROW)->protect({});
        return std::monostate{};
    });
}

SheetResult<CalcOffice::CursorPlace> LibreOfficeCalc::cursorPlace()
{
    return guarded(shortCallLimit, [this] {
        if (!workbook.is())
            throw CallFailure{{SheetFailureKind::NoWorkbookOpen}};
        const Reference<frame::XController> controller = workbook->getCurrentController();
        const Reference<sheet::XSpreadsheet> active = Reference<sheet::XSpreadsheetView>(controller, UNO_QUERY_THROW)->getActiveSheet();
        CursorPlace place;
        place.sheet = Reference<sheet::XCellRangeAddressable>(active, UNO_QUERY_THROW)->getRangeAddress().Sheet + qint64(1);
        place.sheetShown = Reference<beans::XPropertySet>(active, UNO_QUERY_THROW)->getPropertyValue("IsVisible").get<bool>();
        // With no range marked, the office gives the cursor's cell as the selection.
        const Reference<sheet::XCellAddressable> cursor(
            Reference<view::XSelectionSupplier>(controller, UNO_QUERY_THROW)->getSelection(), UNO_QUERY);
        if (!cursor.is())
            throw CallFailure{{SheetFailureKind::SelectionNotACell}};
        const table::CellAddress at = cursor->getCellAddress();
        place.row = at.Row + qint64(1);
        place.column = at.Column + qint64(1);
        return place;
    });
}
