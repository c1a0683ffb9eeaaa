#include "sheet/libreoffice/calc_office.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

struct WindowSize {
    sal_Int32 Width;
    sal_Int32 Height;
};
// A window smaller than this has come up without a window manager to size
// it, and gets the size below.
constexpr WindowSize smallestUsableWindow{800, 600};
constexpr WindowSize windowSizeGiven{1024, 768};
constexpr auto notOpenedMargin = std::chrono::seconds(10);

// The office's filter for a workbook stored under `path`, by its extension.
OUString storeFilterFor(const QString &path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("xlsx"))
        return "Calc MS Excel 2007 XML";
    if (extension == QLatin1String("ods"))
        return "calc8";
    return "MS Excel 97";
}

} // namespace

void LibreOfficeCalc::closeWorkbook()
{
    const Reference<util::XCloseable> closeable(workbook, UNO_QUERY);
    workbook.clear();
    if (closeable.is())
        closeable->close(true);
}

SheetStatus LibreOfficeCalc::closeWithoutSaving()
{
    if (window == CalcWindow::Visible)
        return SheetStatus::failure(QStringLiteral("可见的 LibreOffice 中的工作簿属于用户，保持打开"));
    return guarded(shortCallLimit, [this] {
        closeWorkbook();
        return std::monostate{};
    });
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
    throw CallFailure{QStringLiteral("它已被锁定，%1 于 %2 打开了它；如果没有人在用它，请删除锁定文件 %3")
                          .arg(who, owner.value(2), QDir::toNativeSeparators(lock.fileName()))};
}

void LibreOfficeCalc::adoptWorkbook(const Reference<lang::XComponent> &component)
{
    const Reference<sheet::XSpreadsheetDocument> spreadsheet(component, UNO_QUERY);
    if (!spreadsheet.is()) {
        const Reference<util::XCloseable> closeable(component, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        throw CallFailure{QStringLiteral("这个文件不是电子表格")};
    }
    workbook.set(component, UNO_QUERY_THROW);
}

// The office's own launcher hands the file to the running office, as a
// double-click in the file manager does, and the office opens it on its main
// thread. A load through the bridge would build the window on the bridge's
// thread instead, where LibreOffice's GTK toolkit can wait for the clipboard
// for ever. The document is then found among the office's open documents.
Reference<lang::XComponent> LibreOfficeCalc::openAsTheUserWould(const QFileInfo &file, const OUString &url)
{
    auto handing = OfficeProcess::start(launcherPath, {file.absoluteFilePath()});
    if (!handing.ok())
        throw CallFailure{handing.error()};
    if (!handing.value()->waitForExit(exitLimit))
        handing.value()->kill();
    // Short of the call's own limit, so that a file the office does not open
    // (a question the user answered with Cancel) is reported as such rather
    // than as an office that stopped answering.
    const auto deadline = std::chrono::steady_clock::now() + longCallLimit - notOpenedMargin;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const Reference<lang::XComponent> shown = openDocument(url); shown.is())
            return shown;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    throw CallFailure{QStringLiteral("LibreOffice 没有打开这个文件")};
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
    const auto opened = guarded(openingLimit(file.size()), [&] {
        closeWorkbook();
        if (!file.isFile())
            throw CallFailure{QStringLiteral("文件不存在")};
        if (window == CalcWindow::Visible && !readOnly) {
            // The user's office already shows this file: work in that window.
            // Loading it again would give a second, diverging copy, and saving
            // either one would drop whatever the other held.
            if (const Reference<lang::XComponent> shown = openDocument(url); shown.is()) {
                if (!Reference<sheet::XSpreadsheetDocument>(shown, UNO_QUERY).is())
                    throw CallFailure{QStringLiteral("它已在 LibreOffice 中打开，但不是作为电子表格")};
                workbook.set(shown, UNO_QUERY_THROW);
                return std::monostate{};
            }
            refuseIfLocked(file);
            adoptWorkbook(openAsTheUserWould(file, url));
            return std::monostate{};
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
            throw CallFailure{QStringLiteral("LibreOffice 无法读取这个文件")};
        adoptWorkbook(component);
        return std::monostate{};
    });
    if (!opened.ok())
        return SheetStatus::failure(
            QStringLiteral("无法打开 %1：%2").arg(QDir::toNativeSeparators(path), opened.error()));
    // Only the user's window must be able to save what is written there; a
    // hidden office that cannot write the file has lost nothing.
    if (window == CalcWindow::Hidden || readOnly)
        return sheetDone();
    const auto writable = guarded(shortCallLimit, [this] {
        if (Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)->isReadonly())
            throw CallFailure{QStringLiteral("它只能以只读方式打开（可能被其他用户锁定）")};
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
        const Sequence<beans::PropertyValue> format = propertyList({property("FilterName", Any(storeFilterFor(path)))});
        Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)
            ->storeAsURL(toOUString(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)),
                         format);
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::showWindow()
{
    if (window == CalcWindow::Hidden)
        return SheetStatus::failure(QStringLiteral("隐藏的 LibreOffice 没有可显示的窗口"));
    return guarded(shortCallLimit, [this] {
        if (!workbook.is())
            throw CallFailure{QStringLiteral("没有打开的工作簿")};
        const Reference<frame::XFrame> frame = workbook->getCurrentController()->getFrame();
        const Reference<awt::XWindow> container = frame->getContainerWindow();
        container->setVisible(true);
        // Without a window manager to place it, a new document window can
        // come up a few pixels wide; give it a size to work in.
        const awt::Rectangle area = container->getPosSize();
        if (area.Width < smallestUsableWindow.Width || area.Height < smallestUsableWindow.Height)
            container->setPosSize(0, 0, std::max(area.Width, windowSizeGiven.Width),
                                  std::max(area.Height, windowSizeGiven.Height), awt::PosSize::POSSIZE);
        frame->activate();
        if (const Reference<awt::XTopWindow> top(container, UNO_QUERY); top.is())
            top->toFront();
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::activateFirstSheet()
{
    return guarded(shortCallLimit, [this] {
        const Reference<sheet::XSpreadsheet> sheet = firstSheet();
        const Reference<sheet::XSpreadsheetView> view(workbook->getCurrentController(), UNO_QUERY);
        if (!view.is())
            throw CallFailure{QStringLiteral("工作簿没有工作表视图")};
        view->setActiveSheet(sheet);
        return std::monostate{};
    });
}
