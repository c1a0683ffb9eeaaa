#include "sheet/libreoffice/libreoffice_calc.h"

#include "sheet/libreoffice/excel_palette.h"
#include "sheet/libreoffice/leftover_files.h"
#include "sheet/libreoffice/shown_text_export.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XMergeable.hpp>

#include <algorithm>
#include <optional>

Reference<sheet::XSpreadsheet> LibreOfficeCalc::firstSheet()
{
    if (!workbook.is())
        throw CallFailure{{SheetFailureKind::NoWorkbookOpen}};
    const Reference<container::XIndexAccess> sheets(
        Reference<sheet::XSpreadsheetDocument>(workbook, UNO_QUERY_THROW)->getSheets(), UNO_QUERY_THROW);
    return Reference<sheet::XSpreadsheet>(sheets->getByIndex(0), UNO_QUERY_THROW);
}

Reference<table::XCell> LibreOfficeCalc::cell(qint64 row, qint64 column)
{
    const sal_Int32 rowAt = rowIndex(row);
    const sal_Int32 columnAt = columnIndex(column);
    return firstSheet()->getCellByPosition(columnAt, rowAt);
}

SheetStatus LibreOfficeCalc::putCellFormula(qint64 row, qint64 column, const QString &formula)
{
    return guarded(shortCallLimit, [&] {
        cell(row, column)->setFormula(toOUString(formula));
        return std::monostate{};
    });
}

SheetResult<QString> LibreOfficeCalc::cellText(qint64 row, qint64 column)
{
    return guarded(shortCallLimit, [&] {
        const Reference<table::XCell> target = cell(row, column);
        if (target->getType() == table::CellContentType_FORMULA && target->getError() != 0)
            throw CallFailure{SheetFailure(SheetFailureKind::CellHoldsError).withNumbers({row, column})};
        return toQString(Reference<text::XTextRange>(target, UNO_QUERY_THROW)->getString());
    });
}

SheetStatus LibreOfficeCalc::putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows)
{
    return guarded(longCallLimit, [&] {
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        // One call per run of rows of equal width; a data array puts strings
        // as text, exactly as single cells put through their text.
        qsizetype runStart = 0;
        while (runStart < rows.size()) {
            const qsizetype width = rows[runStart].size();
            qsizetype runEnd = runStart;
            while (runEnd < rows.size() && rows[runEnd].size() == width)
                ++runEnd;
            if (width > 0) {
                Sequence<Sequence<Any>> data(static_cast<sal_Int32>(runEnd - runStart));
                auto *dataRows = data.getArray();
                for (qsizetype r = runStart; r < runEnd; ++r) {
                    Sequence<Any> line(static_cast<sal_Int32>(width));
                    auto *cells = line.getArray();
                    for (qsizetype c = 0; c < width; ++c)
                        cells[c] <<= toOUString(rows[r][c]);
                    dataRows[r - runStart] = line;
                }
                const table::CellRangeAddress address = rangeAddress({top + runStart, left, top + runEnd - 1, left + width - 1});
                Reference<sheet::XCellRangeData>(sheet->getCellRangeByPosition(address.StartColumn, address.StartRow,
                                                                               address.EndColumn, address.EndRow),
                                                 UNO_QUERY_THROW)
                    ->setDataArray(data);
            }
            runStart = runEnd;
        }
        return std::monostate{};
    });
}

namespace {

CellRect cellRect(const table::CellRangeAddress &address)
{
    return {address.StartRow + qint64(1), address.StartColumn + qint64(1), address.EndRow + qint64(1),
            address.EndColumn + qint64(1)};
}

// The cells that merged areas cover within the sheet's top-left corner down to
// `corner`. Every cell of a group of identical formats has the same merge:
// either each starts a merged area of one size, or none does.
QList<CellRect> coveredCells(const Reference<sheet::XSpreadsheet> &sheet, const table::CellRangeAddress &corner)
{
    const Reference<table::XCellRange> area = sheet->getCellRangeByPosition(0, 0, corner.EndColumn, corner.EndRow);
    // Merged areas are rare in a naming table: one call tells whether any
    // starts where it could cover a cell read.
    if (!Reference<util::XMergeable>(area, UNO_QUERY_THROW)->getIsMerged())
        return {};
    QList<CellRect> covered;
    const Reference<container::XIndexAccess> groups =
        Reference<sheet::XUniqueCellFormatRangesSupplier>(area, UNO_QUERY_THROW)->getUniqueCellFormatRanges();
    for (sal_Int32 group = 0; group < groups->getCount(); ++group) {
        const Sequence<table::CellRangeAddress> ranges =
            Reference<sheet::XSheetCellRanges>(groups->getByIndex(group), UNO_QUERY_THROW)->getRangeAddresses();
        if (!ranges.hasElements())
            continue;
        const table::CellRangeAddress &first = ranges[0];
        const Reference<table::XCellRange> origin =
            sheet->getCellRangeByPosition(first.StartColumn, first.StartRow, first.StartColumn, first.StartRow);
        if (!Reference<util::XMergeable>(origin, UNO_QUERY_THROW)->getIsMerged())
            continue;
        const Reference<sheet::XSheetCellCursor> cursor =
            sheet->createCursorByRange(Reference<sheet::XSheetCellRange>(origin, UNO_QUERY_THROW));
        cursor->collapseToMergedArea();
        const table::CellRangeAddress merged = Reference<sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
        const qint64 wider = merged.EndColumn - merged.StartColumn;
        const qint64 taller = merged.EndRow - merged.StartRow;
        for (const table::CellRangeAddress &range : ranges) {
            for (qint64 row = range.StartRow + 1; row <= range.EndRow + 1; ++row) {
                for (qint64 column = range.StartColumn + 1; column <= range.EndColumn + 1; ++column) {
                    if (wider > 0)
                        covered.append({row, column + 1, row + taller, column + wider});
                    if (taller > 0)
                        covered.append({row + 1, column, row + taller, column});
                }
            }
        }
    }
    return covered;
}

// Only a nearly full disk stops a text export of a few megabytes.
constexpr qint64 fullFolderSlack = 64 * 1024;

} // namespace

SheetResult<CellTextRows> LibreOfficeCalc::readTextBlock(const CellRect &rect)
{
    using Cells = SheetResult<CellTextRows>;
    const QTemporaryDir exportFolder(officeTemporaryTemplate(QStringLiteral("table"), QCoreApplication::applicationPid()));
    if (!exportFolder.isValid())
        return Cells::failure(SheetFailure(SheetFailureKind::NoTemporaryFolder).withNames({QDir::tempPath()}));
    // A copy cut short by a full disk would read as a table whose last rows
    // have no new names and whose last name is a fragment.
    const auto whyCut = [&exportFolder](SheetFailure seen) {
        if (QStorageInfo(exportFolder.path()).bytesAvailable() < fullFolderSlack)
            return SheetFailure(SheetFailureKind::TemporaryFolderFull).withNames({QDir::tempPath()}).withCause(std::move(seen));
        return seen;
    };
    QString workbookFile;
    const auto exported = guarded(textCopyLimit(rect.bottom), [&] {
        const table::CellRangeAddress address = rangeAddress(rect);
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        workbookFile = localPathOf(workbook->getURL());
        // The texts travel through a file of our own rather than over the
        // bridge: the export applies every cell's number format in one go
        // (numbers and text formats alike, whatever the column's width), and
        // a text the bridge cannot carry, such as a lone surrogate, arrives
        // as it is instead of breaking the connection.
        const Sequence<beans::PropertyValue> format = propertyList({
            property("FilterName", Any(OUString(shownTextExportFilter))),
            property("FilterOptions", Any(OUString(shownTextExportOptions))),
        });
        const QString target = exportFolder.filePath(QStringLiteral("sheet.csv"));
        Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)
            ->storeToURL(fileUrl(target), format);
        const Reference<sheet::XCellRangesQuery> query(
            sheet->getCellRangeByPosition(address.StartColumn, address.StartRow, address.EndColumn, address.EndRow),
            UNO_QUERY_THROW);
        SheetTextFacts facts;
        for (const table::CellRangeAddress &error :
             query->queryFormulaCells(sheet::FormulaResult::ERROR)->getRangeAddresses())
            facts.errors.append(cellRect(error));
        using namespace sheet::CellFlags;
        for (const table::CellRangeAddress &content :
             query->queryContentCells(VALUE | DATETIME | STRING | FORMULA)->getRangeAddresses())
            facts.lastContentRow = std::max(facts.lastContentRow, content.EndRow + qint64(1));
        facts.covered = coveredCells(sheet, address);
        return facts;
    });
    if (!exported.ok()) {
        if (!workbookFile.isEmpty() && !QFileInfo::exists(workbookFile))
            return Cells::failure(SheetFailure(SheetFailureKind::WorkbookGone).withNames({workbookFile}).withCause(exported.error()));
        return Cells::failure(whyCut(SheetFailure(SheetFailureKind::TextCopyNotWritten).withCause(exported.error())));
    }

    // The filter names the file after the sheet it holds.
    const QStringList written = QDir(exportFolder.path()).entryList(QDir::Files);
    if (written.size() != 1)
        return Cells::failure(whyCut({SheetFailureKind::TextCopyNotWritten}));
    QFile copy(exportFolder.filePath(written.first()));
    if (!copy.open(QIODevice::ReadOnly))
        return Cells::failure(SheetFailure(SheetFailureKind::TextCopyUnreadable).withDetail(copy.errorString()));
    const std::optional<QString> text = utf16Text(copy);
    if (!text)
        return Cells::failure(whyCut({SheetFailureKind::TextCopyIncomplete}));
    Cells cells = cellsFromSheetText(*text, rect, exported.value());
    if (!cells.ok())
        return Cells::failure(whyCut(cells.error()));
    return cells;
}

SheetResult<UsedExtent> LibreOfficeCalc::usedExtent()
{
    return guarded(shortCallLimit, [this] {
        const Reference<sheet::XSheetCellCursor> cursor = firstSheet()->createCursor();
        Reference<sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
        const table::CellRangeAddress end = Reference<sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
        return UsedExtent{end.EndRow + qint64(1), end.EndColumn + qint64(1)};
    });
}

SheetResult<bool> LibreOfficeCalc::holdsFormulas(const CellRect &rect)
{
    return guarded(shortCallLimit, [&] {
        const table::CellRangeAddress address = rangeAddress(rect);
        const Reference<sheet::XCellRangesQuery> query(
            firstSheet()->getCellRangeByPosition(address.StartColumn, address.StartRow, address.EndColumn, address.EndRow),
            UNO_QUERY_THROW);
        return query->queryContentCells(sheet::CellFlags::FORMULA)->getRangeAddresses().hasElements();
    });
}

SheetResult<QList<bool>> LibreOfficeCalc::shownRows(const CellRect &rect)
{
    return guarded(shortCallLimit, [&] {
        const table::CellRangeAddress address = rangeAddress(rect);
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        // The office counts the cells of a hidden sheet as shown.
        if (!Reference<beans::XPropertySet>(sheet, UNO_QUERY_THROW)->getPropertyValue("IsVisible").get<bool>())
            return QList<bool>(rect.bottom - rect.top + 1, false);
        const Reference<sheet::XCellRangesQuery> query(
            sheet->getCellRangeByPosition(address.StartColumn, address.StartRow, address.EndColumn, address.EndRow),
            UNO_QUERY_THROW);
        // The office answers in blocks of shown cells, a filtered-out row
        // being a hidden one to it: a row is shown when its shown cells fill
        // the width of `rect`.
        const qint64 width = rect.right - rect.left + 1;
        QList<qint64> shownCells(rect.bottom - rect.top + 1, 0);
        for (const table::CellRangeAddress &shown : query->queryVisibleCells()->getRangeAddresses()) {
            const qint64 first = std::max<qint64>(shown.StartRow, address.StartRow) - address.StartRow;
            const qint64 last = std::min<qint64>(shown.EndRow, address.EndRow) - address.StartRow;
            const qint64 columns = std::min<qint64>(shown.EndColumn, address.EndColumn)
                                   - std::max<qint64>(shown.StartColumn, address.StartColumn) + 1;
            if (columns <= 0)
                continue;
            for (qint64 row = first; row <= last; ++row)
                shownCells[row] += columns;
        }
        QList<bool> shown;
        shown.reserve(shownCells.size());
        for (const qint64 cells : shownCells)
            shown.append(cells >= width);
        return shown;
    });
}

// All rectangles in one range list: one call however many there are.
Reference<sheet::XSheetCellRangeContainer> LibreOfficeCalc::rangeList(const QList<CellRect> &rects)
{
    firstSheet();
    Sequence<table::CellRangeAddress> addresses(static_cast<sal_Int32>(rects.size()));
    auto *address = addresses.getArray();
    for (const CellRect &rect : rects)
        *address++ = rangeAddress(rect);
    const Reference<sheet::XSheetCellRangeContainer> ranges(
        Reference<lang::XMultiServiceFactory>(workbook, UNO_QUERY_THROW)->createInstance("com.sun.star.sheet.SheetCellRanges"),
        UNO_QUERY_THROW);
    ranges->addRangeAddresses(addresses, false);
    return ranges;
}

SheetStatus LibreOfficeCalc::fillRects(const QList<CellRect> &rects, int colorIndex)
{
    const std::optional<std::int32_t> colour = excelPaletteColor(colorIndex);
    if (!colour)
        return SheetStatus::failure(SheetFailure(SheetFailureKind::ColourOutsidePalette).withNumbers({colorIndex}));
    if (rects.isEmpty())
        return sheetDone();
    return guarded(longCallLimit, [&] {
        const Reference<beans::XPropertySet> properties(rangeList(rects), UNO_QUERY_THROW);
        properties->setPropertyValue("CellBackColor", Any(sal_Int32(*colour)));
        properties->setPropertyValue("IsCellBackgroundTransparent", Any(false));
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::clearCells(const QList<CellRect> &rects)
{
    if (rects.isEmpty())
        return sheetDone();
    return guarded(longCallLimit, [&] {
        using namespace sheet::CellFlags;
        Reference<sheet::XSheetOperation>(rangeList(rects), UNO_QUERY_THROW)->clearContents(VALUE | DATETIME | STRING | FORMULA);
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::clearFill(const CellRect &rect)
{
    return guarded(shortCallLimit, [&] {
        const table::CellRangeAddress address = rangeAddress(rect);
        const Reference<beans::XPropertySet> properties(
            firstSheet()->getCellRangeByPosition(address.StartColumn, address.StartRow, address.EndColumn, address.EndRow),
            UNO_QUERY_THROW);
        properties->setPropertyValue("IsCellBackgroundTransparent", Any(true));
        return std::monostate{};
    });
}

SheetResult<int> LibreOfficeCalc::fillColorIndex(qint64 row, qint64 column)
{
    return guarded(shortCallLimit, [&] {
        const Reference<beans::XPropertySet> properties(cell(row, column), UNO_QUERY_THROW);
        if (properties->getPropertyValue("IsCellBackgroundTransparent").get<bool>())
            return 0;
        const sal_Int32 colour = properties->getPropertyValue("CellBackColor").get<sal_Int32>();
        return excelPaletteIndex(colour);
    });
}
