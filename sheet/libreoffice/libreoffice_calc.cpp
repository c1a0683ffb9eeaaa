#include "sheet/libreoffice/libreoffice_calc.h"

#include "sheet/libreoffice/call_watchdog.h"
#include "sheet/libreoffice/excel_palette.h"
#include "sheet/libreoffice/office_process.h"
#include "sheet/libreoffice/shown_text_export.h"
#include "sheet/libreoffice/uno_bridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/XEmbeddedScripts.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/script/XLibraryContainer.hpp>
#include <com/sun/star/script/provider/XScript.hpp>
#include <com/sun/star/script/provider/XScriptProviderSupplier.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <mutex>
#include <thread>

using namespace com::sun::star;
using com::sun::star::uno::Any;
using rtl::OUString;
using com::sun::star::uno::Reference;
using com::sun::star::uno::Sequence;
using com::sun::star::uno::UNO_QUERY;
using com::sun::star::uno::UNO_QUERY_THROW;

namespace {

constexpr auto shortCallLimit = std::chrono::seconds(30);
constexpr auto longCallLimit = std::chrono::seconds(120);
constexpr auto exitLimit = std::chrono::seconds(30);

class LibreOfficeCalc : public CalcOffice {
public:
    LibreOfficeCalc(CalcWindow window, std::unique_ptr<OfficeProcess> process, std::unique_ptr<QTemporaryDir> profile,
                    QString acceptString)
        : window(window), process(std::move(process)), profile(std::move(profile)), acceptString(std::move(acceptString)),
          watchdog([this] { breakOff(); })
    {
    }

    ~LibreOfficeCalc() override
    {
        if (window == CalcWindow::Hidden) {
            quit();
        } else {
            leaveToUser();
        }
        dropConnection();
    }

    SheetStatus connect(std::chrono::seconds limit);

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
    SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) override;
    SheetStatus clearFill(const CellRect &rect) override;
    SheetResult<int> fillColorIndex(qint64 row, qint64 column) override;
    SheetStatus runFirstSheetMacro(const QString &name) override;
    SheetStatus saveWorkbook() override;
    SheetStatus quit() override;
    QString unresponsiveReason() const override { return lostText; }

private:
    template <typename Body>
    auto guarded(std::chrono::milliseconds limit, Body body) -> SheetResult<decltype(body())>;

    template <typename Result>
    Result loseOffice(std::chrono::milliseconds limit);
    SheetStatus reachOffice(std::chrono::seconds limit);
    void breakOff();
    void dropConnection();
    void leaveToUser();
    bool officeIsOurs();
    void closeWorkbook();
    Reference<sheet::XSpreadsheet> firstSheet();
    Reference<table::XCell> cell(qint64 row, qint64 column);
    void adoptWorkbook(const Reference<lang::XComponent> &component);
    Reference<lang::XComponent> openDocument(const OUString &url);
    SheetStatus loadWorkbook(const QString &path, bool readOnly);
    void refuseIfLocked(const QFileInfo &file);

    const CalcWindow window;
    std::unique_ptr<OfficeProcess> process;
    std::unique_ptr<QTemporaryDir> profile;
    const QString acceptString;

    std::mutex connectionMutex;
    Reference<connection::XConnection> connection;
    Reference<lang::XComponent> bridge;
    Reference<frame::XDesktop2> desktop;
    Reference<frame::XModel> workbook;
    QString lostText;
    CallWatchdog watchdog;
};

template <typename Body>
auto LibreOfficeCalc::guarded(std::chrono::milliseconds limit, Body body) -> SheetResult<decltype(body())>
{
    using Result = SheetResult<decltype(body())>;
    if (!lostText.isEmpty())
        return Result::failure(lostText);
    watchdog.arm(limit);
    try {
        auto value = body();
        watchdog.disarm();
        return Result::success(std::move(value));
    } catch (const CallFailure &failure) {
        watchdog.disarm();
        return Result::failure(failure.text);
    } catch (const lang::DisposedException &) {
        watchdog.disarm();
        return loseOffice<Result>(limit);
    } catch (const uno::Exception &error) {
        watchdog.disarm();
        if (watchdog.hasFired())
            return loseOffice<Result>(limit);
        const QString detail = toQString(error.Message).trimmed();
        return Result::failure(detail.isEmpty() ? QStringLiteral("LibreOffice refused the operation") : detail);
    }
}

template <typename Result>
Result LibreOfficeCalc::loseOffice(std::chrono::milliseconds limit)
{
    lostText = watchdog.hasFired()
        ? QStringLiteral("LibreOffice did not answer within %1 seconds").arg(limit.count() / 1000)
        : QStringLiteral("the connection to LibreOffice was lost (the office may have stopped)");
    dropConnection();
    return Result::failure(lostText);
}

// Runs on the watchdog's thread while the caller is blocked in a call: closing
// the pipe makes that call fail at once instead of waiting for an office that
// may never answer.
void LibreOfficeCalc::breakOff()
{
    Reference<connection::XConnection> stale;
    {
        std::lock_guard lock(connectionMutex);
        stale = connection;
    }
    try {
        if (stale.is())
            stale->close();
    } catch (const uno::Exception &) {
        // Already closed: the blocked call has been released either way.
    }
    if (officeIsOurs())
        process->kill();
}

void LibreOfficeCalc::dropConnection()
{
    workbook.clear();
    desktop.clear();
    Reference<lang::XComponent> oldBridge;
    {
        std::lock_guard lock(connectionMutex);
        oldBridge = bridge;
        bridge.clear();
        connection.clear();
    }
    try {
        if (oldBridge.is())
            oldBridge->dispose();
    } catch (const uno::Exception &) {
        // A bridge whose office is gone is disposed already.
    }
}

// The launcher stays as long as the office it started; when it has gone, the
// office that answers belongs to the user.
bool LibreOfficeCalc::officeIsOurs()
{
    return process && !process->exitStatus();
}

SheetStatus LibreOfficeCalc::connect(std::chrono::seconds limit)
{
    const SheetStatus reached = reachOffice(limit);
    if (!reached.ok()) {
        process->kill();
        lostText = reached.error();
    }
    return reached;
}

SheetStatus LibreOfficeCalc::reachOffice(std::chrono::seconds limit)
{
    const auto context = localContext();
    if (!context.ok())
        return SheetStatus::failure(context.error());
    const auto deadline = std::chrono::steady_clock::now() + limit;
    try {
        const Reference<connection::XConnector> connector = connection::Connector::create(context.value());
        Reference<connection::XConnection> opened;
        while (!opened.is()) {
            try {
                opened = connector->connect(toOUString(acceptString.section(QLatin1Char(';'), 0, 0)));
            } catch (const connection::NoConnectException &) {
                const auto status = process->exitStatus();
                if (status && *status != 0)
                    return SheetStatus::failure(
                        QStringLiteral("LibreOffice stopped while starting (exit status %1)").arg(*status));
                if (std::chrono::steady_clock::now() >= deadline)
                    return SheetStatus::failure(
                        QStringLiteral("LibreOffice did not answer within %1 seconds of its start").arg(limit.count()));
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }
        const Reference<bridge::XBridgeFactory2> factory = bridge::BridgeFactory::create(context.value());
        const Reference<bridge::XBridge> opening = factory->createBridge(OUString(), "urp", opened, nullptr);
        std::lock_guard lock(connectionMutex);
        connection = opened;
        bridge.set(opening, UNO_QUERY_THROW);
    } catch (const uno::Exception &error) {
        return SheetStatus::failure(QStringLiteral("could not connect to LibreOffice: %1").arg(toQString(error.Message)));
    }
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return guarded(std::max(remaining, std::chrono::milliseconds(1000)), [this] {
        const Reference<bridge::XBridge> remote(bridge, UNO_QUERY_THROW);
        const Reference<uno::XComponentContext> officeContext(remote->getInstance("StarOffice.ComponentContext"),
                                                              UNO_QUERY_THROW);
        desktop = frame::Desktop::create(officeContext);
        return std::monostate{};
    });
}

void LibreOfficeCalc::closeWorkbook()
{
    const Reference<util::XCloseable> closeable(workbook, UNO_QUERY);
    workbook.clear();
    if (closeable.is())
        closeable->close(true);
}

Reference<lang::XComponent> LibreOfficeCalc::openDocument(const OUString &url)
{
    const Reference<container::XEnumeration> components =
        Reference<container::XEnumerationAccess>(desktop->getComponents(), UNO_QUERY_THROW)->createEnumeration();
    while (components->hasMoreElements()) {
        const Reference<frame::XModel> model(components->nextElement(), UNO_QUERY);
        if (model.is() && model->getURL() == url)
            return Reference<lang::XComponent>(model, UNO_QUERY);
    }
    return {};
}

// A workbook locked by another office would make the office ask the user in
// a dialog of its own while our call waits; say who holds it instead.
void LibreOfficeCalc::refuseIfLocked(const QFileInfo &file)
{
    QFile lock(file.absoluteDir().filePath(QStringLiteral(".~lock.%1#").arg(file.fileName())));
    if (!lock.open(QIODevice::ReadOnly))
        return;
    const QStringList owner = QString::fromUtf8(lock.readAll()).split(QLatin1Char(','));
    const QString who = owner.value(0).isEmpty() ? owner.value(1) : owner.value(0);
    throw CallFailure{QStringLiteral("it is locked, opened by %1 on %2; if nobody has it open, delete the lock file %3")
                          .arg(who, owner.value(2), QDir::toNativeSeparators(lock.fileName()))};
}

void LibreOfficeCalc::adoptWorkbook(const Reference<lang::XComponent> &component)
{
    const Reference<sheet::XSpreadsheetDocument> spreadsheet(component, UNO_QUERY);
    if (!spreadsheet.is()) {
        const Reference<util::XCloseable> closeable(component, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        throw CallFailure{QStringLiteral("the file is not a spreadsheet")};
    }
    workbook.set(component, UNO_QUERY_THROW);
}

SheetStatus LibreOfficeCalc::openWorkbook(const QString &path)
{
    return loadWorkbook(path, false);
}

SheetStatus LibreOfficeCalc::openWorkbookForReading(const QString &path)
{
    return loadWorkbook(path, true);
}

SheetStatus LibreOfficeCalc::loadWorkbook(const QString &path, bool readOnly)
{
    const QFileInfo file(path);
    const OUString url = toOUString(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded));
    const auto opened = guarded(longCallLimit, [&] {
        closeWorkbook();
        if (!file.isFile())
            throw CallFailure{QStringLiteral("the file does not exist")};
        if (window == CalcWindow::Visible && !readOnly) {
            // The user's office already shows this file: work in that window.
            // Loading it again would give a second, diverging copy, and saving
            // either one would drop whatever the other held.
            if (const Reference<lang::XComponent> shown = openDocument(url); shown.is()) {
                if (!Reference<sheet::XSpreadsheetDocument>(shown, UNO_QUERY).is())
                    throw CallFailure{QStringLiteral("it is open in LibreOffice, but not as a spreadsheet")};
                workbook.set(shown, UNO_QUERY_THROW);
                return std::monostate{};
            }
            refuseIfLocked(file);
        }
        // The document decides from the user's own macro-security settings
        // whether its macros may run, and a case that would ask the user is
        // answered with no: the dialog would stall the step.
        Sequence<beans::PropertyValue> arguments = propertyList({
            property("Hidden", Any(window == CalcWindow::Hidden)),
            property("MacroExecutionMode", Any(document::MacroExecMode::USE_CONFIG_REJECT_CONFIRMATION)),
        });
        // Asked for only when wanted: a firm "not read-only" would have the
        // office ask about a file it can only read instead of opening it so.
        if (readOnly) {
            arguments.realloc(arguments.getLength() + 1);
            arguments.getArray()[arguments.getLength() - 1] = property("ReadOnly", Any(true));
        }
        const Reference<frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
        const Reference<lang::XComponent> component = loader->loadComponentFromURL(url, "_blank", 0, arguments);
        if (!component.is())
            throw CallFailure{QStringLiteral("LibreOffice could not read the file")};
        adoptWorkbook(component);
        return std::monostate{};
    });
    if (!opened.ok())
        return SheetStatus::failure(
            QStringLiteral("%1 could not be opened: %2").arg(QDir::toNativeSeparators(path), opened.error()));
    // Only the user's window must be able to save what is written there; a
    // hidden office that cannot write the file has lost nothing.
    if (window == CalcWindow::Hidden || readOnly)
        return sheetDone();
    const auto writable = guarded(shortCallLimit, [this] {
        if (Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)->isReadonly())
            throw CallFailure{QStringLiteral("it was opened read-only (it may be locked by another user)")};
        return std::monostate{};
    });
    if (!writable.ok())
        return SheetStatus::failure(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), writable.error()));
    return sheetDone();
}

SheetStatus LibreOfficeCalc::createWorkbook(const QString &path)
{
    return guarded(longCallLimit, [&] {
        closeWorkbook();
        const Sequence<beans::PropertyValue> arguments = propertyList({property("Hidden", Any(window == CalcWindow::Hidden))});
        const Reference<frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
        adoptWorkbook(loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, arguments));
        const Sequence<beans::PropertyValue> format = propertyList({property("FilterName", Any(OUString("MS Excel 97")))});
        Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)
            ->storeAsURL(toOUString(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)),
                         format);
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::showWindow()
{
    if (window == CalcWindow::Hidden)
        return SheetStatus::failure(QStringLiteral("a hidden office has no window to show"));
    return guarded(shortCallLimit, [this] {
        if (!workbook.is())
            throw CallFailure{QStringLiteral("no workbook is open")};
        const Reference<frame::XFrame> frame = workbook->getCurrentController()->getFrame();
        const Reference<awt::XWindow> container = frame->getContainerWindow();
        container->setVisible(true);
        // Without a window manager to place it, a new document window can
        // come up a few pixels wide; give it a size to work in.
        const awt::Rectangle area = container->getPosSize();
        if (area.Width < 800 || area.Height < 600)
            container->setPosSize(0, 0, std::max<sal_Int32>(area.Width, 1024), std::max<sal_Int32>(area.Height, 768),
                                  awt::PosSize::POSSIZE);
        frame->activate();
        if (const Reference<awt::XTopWindow> top(container, UNO_QUERY); top.is())
            top->toFront();
        return std::monostate{};
    });
}

Reference<sheet::XSpreadsheet> LibreOfficeCalc::firstSheet()
{
    if (!workbook.is())
        throw CallFailure{QStringLiteral("no workbook is open")};
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

SheetStatus LibreOfficeCalc::activateFirstSheet()
{
    return guarded(shortCallLimit, [this] {
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        const Reference<sheet::XSpreadsheetView> view(workbook->getCurrentController(), UNO_QUERY);
        if (!view.is())
            throw CallFailure{QStringLiteral("the workbook has no sheet view")};
        view->setActiveSheet(sheet);
        return std::monostate{};
    });
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
            throw CallFailure{QStringLiteral("cell (%1, %2) holds an error value").arg(row).arg(column)};
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

SheetResult<CellTextRows> LibreOfficeCalc::readTextBlock(const CellRect &rect)
{
    const QTemporaryDir exportFolder(QDir::tempPath() + QStringLiteral("/quillmere-table-XXXXXX"));
    if (!exportFolder.isValid())
        return SheetResult<CellTextRows>::failure(
            QStringLiteral("could not make a temporary folder in %1").arg(QDir::tempPath()));
    const auto exported = guarded(longCallLimit, [&] {
        const table::CellRangeAddress address = rangeAddress(rect);
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
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
            ->storeToURL(toOUString(QUrl::fromLocalFile(target).toString(QUrl::FullyEncoded)), format);
        const Reference<sheet::XCellRangesQuery> query(
            sheet->getCellRangeByPosition(address.StartColumn, address.StartRow, address.EndColumn, address.EndRow),
            UNO_QUERY_THROW);
        QList<CellRect> errors;
        for (const table::CellRangeAddress &error :
             query->queryFormulaCells(sheet::FormulaResult::ERROR)->getRangeAddresses())
            errors.append({error.StartRow + qint64(1), error.StartColumn + qint64(1), error.EndRow + qint64(1),
                           error.EndColumn + qint64(1)});
        return errors;
    });
    if (!exported.ok())
        return SheetResult<CellTextRows>::failure(exported.error());

    // The filter names the file after the sheet it holds.
    const QStringList written = QDir(exportFolder.path()).entryList(QDir::Files);
    if (written.size() != 1)
        return SheetResult<CellTextRows>::failure(QStringLiteral("LibreOffice wrote no text copy of the sheet"));
    QFile copy(exportFolder.filePath(written.first()));
    if (!copy.open(QIODevice::ReadOnly))
        return SheetResult<CellTextRows>::failure(
            QStringLiteral("the text copy of the sheet could not be read: %1").arg(copy.errorString()));
    return SheetResult<CellTextRows>::success(cellsFromSheetText(utf16Text(copy.readAll()), rect, exported.value()));
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

SheetStatus LibreOfficeCalc::fillRects(const QList<CellRect> &rects, int colorIndex)
{
    const std::optional<std::int32_t> colour = excelPaletteColor(colorIndex);
    if (!colour)
        return SheetStatus::failure(QStringLiteral("colour index %1 is not in the palette (1 to 56)").arg(colorIndex));
    if (rects.isEmpty())
        return sheetDone();
    return guarded(longCallLimit, [&] {
        firstSheet();
        Sequence<table::CellRangeAddress> addresses(static_cast<sal_Int32>(rects.size()));
        auto *address = addresses.getArray();
        for (const CellRect &rect : rects)
            *address++ = rangeAddress(rect);
        // All rectangles in one range list: one call however many groups.
        const Reference<sheet::XSheetCellRangeContainer> ranges(
            Reference<lang::XMultiServiceFactory>(workbook, UNO_QUERY_THROW)
                ->createInstance("com.sun.star.sheet.SheetCellRanges"),
            UNO_QUERY_THROW);
        ranges->addRangeAddresses(addresses, false);
        const Reference<beans::XPropertySet> properties(ranges, UNO_QUERY_THROW);
        properties->setPropertyValue("CellBackColor", Any(sal_Int32(*colour)));
        properties->setPropertyValue("IsCellBackgroundTransparent", Any(false));
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

SheetStatus LibreOfficeCalc::runFirstSheetMacro(const QString &name)
{
    return guarded(longCallLimit, [&] {
        const Reference<beans::XPropertySet> sheet(firstSheet(), UNO_QUERY_THROW);
        const OUString module = sheet->getPropertyValue("CodeName").get<OUString>();
        if (module.isEmpty())
            throw CallFailure{QStringLiteral("the first sheet has no macro module")};
        if (!Reference<document::XEmbeddedScripts>(workbook, UNO_QUERY_THROW)->getAllowMacroExecution())
            throw CallFailure{QStringLiteral("the macro-security settings do not allow this workbook's macros")};
        const Reference<script::XLibraryContainer> libraries(
            Reference<beans::XPropertySet>(workbook, UNO_QUERY_THROW)->getPropertyValue("BasicLibraries"), UNO_QUERY_THROW);
        const Reference<container::XNameAccess> libraryNames(libraries, UNO_QUERY_THROW);
        for (const OUString &library : libraryNames->getElementNames()) {
            libraries->loadLibrary(library);
            const Reference<container::XNameAccess> modules(libraryNames->getByName(library), UNO_QUERY);
            if (!modules.is() || !modules->hasByName(module))
                continue;
            const OUString url = "vnd.sun.star.script:" + library + "." + module + "." + toOUString(name)
                + "?language=Basic&location=document";
            const Reference<script::provider::XScript> script =
                Reference<script::provider::XScriptProviderSupplier>(workbook, UNO_QUERY_THROW)
                    ->getScriptProvider()
                    ->getScript(url);
            Sequence<sal_Int16> outIndexes;
            Sequence<Any> outValues;
            script->invoke({}, outIndexes, outValues);
            return std::monostate{};
        }
        throw CallFailure{QStringLiteral("the first sheet has no macro %1").arg(name)};
    });
}

SheetStatus LibreOfficeCalc::saveWorkbook()
{
    return guarded(longCallLimit, [this] {
        if (!workbook.is())
            throw CallFailure{QStringLiteral("no workbook is open")};
        Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)->store();
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::quit()
{
    if (window == CalcWindow::Visible)
        return SheetStatus::failure(QStringLiteral("a visible office belongs to the user and is left running"));
    if (lostText.isEmpty()) {
        // Closing the workbook first keeps an unsaved change from vetoing the end.
        guarded(shortCallLimit, [this] {
            closeWorkbook();
            desktop->terminate();
            return std::monostate{};
        });
        dropConnection();
        lostText = QStringLiteral("the office has been quit");
    }
    if (process && !process->waitForExit(exitLimit))
        process->kill();
    return sheetDone();
}

// Called as a visible instance is let go: the window stays for the user, our
// connection goes (an office still connected to may outlive its last window),
// and the office stops listening on our pipe, so it ends as usual when the user
// closes its last window. An office of ours that shows nothing is ended
// instead of lingering without a window.
void LibreOfficeCalc::leaveToUser()
{
    if (!lostText.isEmpty()) {
        if (process)
            process->kill();
        return;
    }
    const bool ours = officeIsOurs();
    const auto shown = guarded(shortCallLimit, [this] {
        const Reference<container::XEnumerationAccess> components(desktop->getComponents(), UNO_QUERY_THROW);
        return components->createEnumeration()->hasMoreElements();
    });
    if (ours && shown.ok() && !shown.value()) {
        guarded(shortCallLimit, [this] { return desktop->terminate(); });
        dropConnection();
        if (!process->waitForExit(exitLimit))
            process->kill();
        return;
    }
    dropConnection();
    if (!shown.ok()) {
        if (process)
            process->kill();
        return;
    }
    const QString officeLauncher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    auto closer = OfficeProcess::start(officeLauncher, {QStringLiteral("--unaccept=%1").arg(acceptString)});
    if (closer.ok() && !closer.value()->waitForExit(exitLimit))
        closer.value()->kill();
    if (process)
        process->leaveRunning();
}

// Private profiles never take part in document locking: a hidden office must
// read and save a workbook that the user still has open in a window.
bool seedHiddenProfile(const QString &profileDir)
{
    static const char *const settings =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseDocumentOOoLockFile\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseDocumentSystemFileLocking\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "</oor:items>\n";
    if (!QDir().mkpath(profileDir + QStringLiteral("/user")))
        return false;
    QFile file(profileDir + QStringLiteral("/user/registrymodifications.xcu"));
    return file.open(QIODevice::WriteOnly) && file.write(settings) == qint64(qstrlen(settings));
}

} // namespace

SheetResult<std::unique_ptr<CalcOffice>> startLibreOfficeCalc(CalcWindow window, std::chrono::seconds startLimit)
{
    using Result = SheetResult<std::unique_ptr<CalcOffice>>;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (launcher.isEmpty())
        return Result::failure(QStringLiteral("LibreOffice is not installed: the program \"soffice\" was not found"));

    const QString acceptString = QStringLiteral("pipe,name=%1%2;urp;")
                                     .arg(officePipePrefix(QCoreApplication::applicationPid()))
                                     .arg(QRandomGenerator::global()->generate64(), 0, 16);
    QStringList arguments{QStringLiteral("--accept=%1").arg(acceptString), QStringLiteral("--norestore"),
                          QStringLiteral("--nologo"), QStringLiteral("--nodefault")};
    std::unique_ptr<QTemporaryDir> profile;
    if (window == CalcWindow::Hidden) {
        profile = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmere-office-XXXXXX"));
        if (!profile->isValid() || !seedHiddenProfile(profile->path()))
            return Result::failure(QStringLiteral("could not make a temporary LibreOffice profile in %1").arg(QDir::tempPath()));
        arguments << QStringLiteral("--headless")
                  << QStringLiteral("-env:UserInstallation=%1")
                         .arg(QUrl::fromLocalFile(profile->path()).toString(QUrl::FullyEncoded));
    }
    auto started = OfficeProcess::start(launcher, arguments);
    if (!started.ok())
        return Result::failure(started.error());
    if (window == CalcWindow::Hidden) {
        // A hidden office is of no use to anyone once we are gone.
        if (const SheetStatus guarded = started.value()->endWithThisProgram(); !guarded.ok())
            return Result::failure(guarded.error());
    }
    auto office = std::make_unique<LibreOfficeCalc>(window, std::move(started.value()), std::move(profile), acceptString);
    const SheetStatus connected = office->connect(startLimit);
    if (!connected.ok())
        return Result::failure(connected.error());
    return Result::success(std::move(office));
}

QString officePipePrefix(qint64 processId)
{
    return QStringLiteral("quillmere-%1-").arg(processId);
}

StartSpreadsheet libreOfficeStarter(CalcWindow window)
{
    return [window]() -> SheetResult<std::unique_ptr<Spreadsheet>> {
        auto started = startLibreOfficeCalc(window);
        if (!started.ok())
            return SheetResult<std::unique_ptr<Spreadsheet>>::failure(started.error());
        return SheetResult<std::unique_ptr<Spreadsheet>>::success(std::move(started.value()));
    };
}
