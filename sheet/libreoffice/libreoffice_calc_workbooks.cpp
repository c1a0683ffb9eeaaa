#include "sheet/libreoffice/libreoffice_calc.h"

#include <QDir>
#include <QFile>

#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
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
#include <optional>
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
// How long the office may take to show a file handed to it, or to ask the
// user about it; once it asks, the wait lasts as long as the question.
constexpr auto showingLimit = std::chrono::seconds(60);
constexpr auto openingEndedMargin = std::chrono::seconds(3);

// The office's name of the format a new workbook is saved in, from the
// extension the user gave it.
const char *storeFilterFor(const QFileInfo &file)
{
    const QString extension = file.suffix().toLower();
    if (extension == QLatin1String("xlsx"))
        return "Calc MS Excel 2007 XML";
    if (extension == QLatin1String("ods"))
        return "calc8";
    return "MS Excel 97";
}

// Throws unless `file` names a file: a folder is named as such, since a
// folder picked in the file dialog exists all the same.
void refuseUnlessAFile(const QFileInfo &file)
{
    if (file.isDir())
        throw CallFailure{SheetFailure(SheetFailureKind::IsAFolder).withNames({QDir::toNativeSeparators(file.filePath())})};
    if (!file.isFile())
        throw CallFailure{{SheetFailureKind::FileMissing}};
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
        return SheetStatus::failure({SheetFailureKind::VisibleWorkbookKept});
    return guarded(shortCallLimit, [this] {
        closeWorkbook();
        return std::monostate{};
    });
}

bool LibreOfficeCalc::openingUnderWay()
{
    const Reference<container::XIndexAccess> frames(desktop->getFrames(), UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < frames->getCount(); ++i) {
        const Reference<frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
        if (frame.is() && !frame->getController().is())
            return true;
    }
    return false;
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
    throw CallFailure{
        SheetFailure(SheetFailureKind::Locked).withNames({who, owner.value(2), QDir::toNativeSeparators(lock.fileName())})};
}

void LibreOfficeCalc::adoptWorkbook(const Reference<lang::XComponent> &component)
{
    const Reference<sheet::XSpreadsheetDocument> spreadsheet(component, UNO_QUERY);
    if (!spreadsheet.is()) {
        const Reference<util::XCloseable> closeable(component, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        throw CallFailure{{SheetFailureKind::NotASpreadsheet}};
    }
    workbook.set(component, UNO_QUERY_THROW);
}

// The office's own launcher hands the file to the running office, as a
// double-click in the file manager does, and the office opens it on its main
// thread. A load through the bridge would build the window on the bridge's
// thread instead, where LibreOffice's GTK toolkit can wait for the clipboard
// for ever. The document is then found among the office's open documents.
SheetStatus LibreOfficeCalc::openAsTheUserWould(const QFileInfo &file)
{
    auto handing = OfficeProcess::start(launcherPath, {file.absoluteFilePath()});
    if (!handing.ok())
        return SheetStatus::failure(handing.error());
    // The launcher only passes the file on; should it start an office of
    // its own instead, that office is the user's like any other.
    handing.value()->leaveRunning();

    enum class Opening { Shown, UnderWay, NothingYet };
    // Each look is a call of its own: a question the office asks about the
    // file (text import, password, macros, repair) stays open as long as the
    // user takes, and no single call may wait that long.
    const auto deadline = std::chrono::steady_clock::now() + showingLimit;
    bool sawItOpening = false;
    // An office starting up may show an empty window for a moment before the
    // file arrives: only an opening that stays ended counts as given up.
    const auto notYet = std::chrono::steady_clock::time_point::max();
    auto givenUpBy = notYet;
    for (;;) {
        const auto seen = guarded(shortCallLimit, [&] {
            if (const Reference<lang::XComponent> shown = documentShowing(file); shown.is()) {
                adoptWorkbook(shown);
                return Opening::Shown;
            }
            return openingUnderWay() ? Opening::UnderWay : Opening::NothingYet;
        });
        if (!seen.ok())
            return SheetStatus::failure(
                sawItOpening ? SheetFailure(SheetFailureKind::OpeningGivenUp).withCause(seen.error())
                             : seen.error());
        if (seen.value() == Opening::Shown)
            return sheetDone();
        const auto now = std::chrono::steady_clock::now();
        if (seen.value() == Opening::UnderWay) {
            sawItOpening = true;
            givenUpBy = notYet;
        } else if (sawItOpening) {
            if (givenUpBy == notYet)
                givenUpBy = now + openingEndedMargin;
            else if (now >= givenUpBy)
                return SheetStatus::failure({SheetFailureKind::OpeningGivenUp});
        } else if (now >= deadline) {
            return SheetStatus::failure(
                SheetFailure(SheetFailureKind::NotShownInTime)
                    .withNumbers({std::chrono::duration_cast<std::chrono::seconds>(showingLimit).count()}));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

SheetStatus LibreOfficeCalc::openWorkbook(const QString &path)
{
    const QFileInfo file(path);
    const SheetStatus opened = window == CalcWindow::Visible ? openInTheUsersWindow(file) : loadWorkbook(file, false);
    if (!opened.ok())
        return SheetStatus::failure(
            SheetFailure(SheetFailureKind::CannotOpen).withNames({QDir::toNativeSeparators(path)}).withCause(opened.error()));
    // Only the user's window must be able to save what is written there; a
    // hidden office that cannot write the file has lost nothing.
    if (window == CalcWindow::Hidden)
        return sheetDone();
    const auto writable = guarded(shortCallLimit, [this] {
        if (Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)->isReadonly())
            throw CallFailure{{SheetFailureKind::OnlyReadOnly}};
        return std::monostate{};
    });
    if (!writable.ok())
        return SheetStatus::failure(SheetFailure(SheetFailureKind::CannotSaveFrom)
                                        .withNames({QDir::toNativeSeparators(path)})
                                        .withCause(writable.error()));
    return sheetDone();
}

SheetStatus LibreOfficeCalc::openWorkbookForReading(const QString &path)
{
    const SheetStatus opened = loadWorkbook(QFileInfo(path), true);
    if (!opened.ok())
        return SheetStatus::failure(
            SheetFailure(SheetFailureKind::CannotOpen).withNames({QDir::toNativeSeparators(path)}).withCause(opened.error()));
    return sheetDone();
}

SheetStatus LibreOfficeCalc::openInTheUsersWindow(const QFileInfo &file)
{
    const auto alreadyShown = guarded(shortCallLimit, [&] {
        // A document of the user's window is never closed by us, only let go.
        workbook.clear();
        refuseUnlessAFile(file);
        // The user's office already shows this file: work in that window.
        // Loading it again would give a second, diverging copy, and saving
        // either one would drop whatever the other held.
        if (const Reference<lang::XComponent> shown = documentShowing(file); shown.is()) {
            if (!Reference<sheet::XSpreadsheetDocument>(shown, UNO_QUERY).is())
                throw CallFailure{{SheetFailureKind::OpenButNotAsSpreadsheet}};
            workbook.set(shown, UNO_QUERY_THROW);
            return true;
        }
        refuseIfLocked(file);
        return false;
    });
    if (!alreadyShown.ok())
        return SheetStatus::failure(alreadyShown.error());
    return alreadyShown.value() ? sheetDone() : openAsTheUserWould(file);
}

SheetStatus LibreOfficeCalc::loadWorkbook(const QFileInfo &file, bool readOnly)
{
    return guarded(openingLimit(file.size()), [&] {
        closeWorkbook();
        refuseUnlessAFile(file);
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
        const Reference<lang::XComponent> component =
            loader->loadComponentFromURL(fileUrl(file.absoluteFilePath()), "_blank", 0, arguments);
        if (!component.is())
            throw CallFailure{{SheetFailureKind::OfficeCannotRead}};
        adoptWorkbook(component);
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::createWorkbook(const QString &path)
{
    const QFileInfo file(path);
    const auto stored = guarded(longCallLimit, [&] {
        // A document in the user's window is theirs: let go of, never closed.
        if (window == CalcWindow::Visible)
            workbook.clear();
        closeWorkbook();
        if (file.exists() || file.isSymLink())
            throw CallFailure{SheetFailure(SheetFailureKind::AlreadyExists).withNames({QDir::toNativeSeparators(path)})};
        // The office would make missing folders on its way; only the file
        // itself was asked for.
        if (!file.absoluteDir().exists())
            throw CallFailure{
                SheetFailure(SheetFailureKind::FolderMissing).withNames({QDir::toNativeSeparators(file.absolutePath())})};
        // Made hidden over the bridge, which builds no window: the user's
        // window comes from opening the saved file as the user would.
        const Sequence<beans::PropertyValue> arguments = propertyList({property("Hidden", Any(true))});
        const Reference<frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
        adoptWorkbook(loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, arguments));
        // The office refuses to write over a file that appeared meanwhile.
        const Sequence<beans::PropertyValue> format = propertyList({
            property("FilterName", Any(OUString::createFromAscii(storeFilterFor(file)))),
            property("Overwrite", Any(false)),
        });
        Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)->storeAsURL(fileUrl(file.absoluteFilePath()), format);
        if (window == CalcWindow::Visible)
            closeWorkbook();
        return std::monostate{};
    });
    if (!stored.ok() || window == CalcWindow::Hidden)
        return stored;
    return openWorkbook(path);
}

SheetStatus LibreOfficeCalc::showWindow()
{
    if (window == CalcWindow::Hidden)
        return SheetStatus::failure({SheetFailureKind::HiddenHasNoWindow});
    return guarded(shortCallLimit, [this] {
        if (!workbook.is())
            throw CallFailure{{SheetFailureKind::NoWorkbookOpen}};
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
            throw CallFailure{{SheetFailureKind::NoSheetView}};
        // A hidden sheet cannot be the one shown: the window would stay on
        // another sheet, the user would type there, and the table would keep
        // whatever new names the hidden sheet held.
        const Reference<beans::XPropertySet> properties(sheet, UNO_QUERY_THROW);
        if (!properties->getPropertyValue("IsVisible").get<bool>()) {
            // The office ignores the change, without a word, in a workbook
            // whose structure is protected.
            properties->setPropertyValue("IsVisible", Any(true));
            if (!properties->getPropertyValue("IsVisible").get<bool>())
                throw CallFailure{{SheetFailureKind::HiddenFirstSheetNotShown}};
        }
        view->setActiveSheet(sheet);
        return std::monostate{};
    });
}

SheetStatus LibreOfficeCalc::saveWorkbook()
{
    return guarded(longCallLimit, [this] {
        if (!workbook.is())
            throw CallFailure{{SheetFailureKind::NoWorkbookOpen}};
        Reference<frame::XStorable>(workbook, UNO_QUERY_THROW)->store();
        return std::monostate{};
    });
}
