#include "sheet/libreoffice/libreoffice_calc.h"

#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>

// The office's life after its start: whether it answers, its end when it is
// ours and hidden, and its hand-over to the user when it shows a window.

bool LibreOfficeCalc::isAnswering()
{
    if (profile && !QFileInfo::exists(profile->filePath(QStringLiteral("user"))))
        return false;
    return guarded(answerLimit, [this] { return desktop->getComponents().is(); }).ok();
}

SheetStatus LibreOfficeCalc::quit()
{
    if (window == CalcWindow::Visible)
        return SheetStatus::failure({SheetFailureKind::VisibleOfficeKept});
    if (!lost) {
        // Closing the workbook first keeps an unsaved change from vetoing the
        // end; an office that does not end is killed below.
        bestEffort(guarded(shortCallLimit, [this] {
            closeWorkbook();
            desktop->terminate();
            return std::monostate{};
        }));
        dropConnection();
        lost = SheetFailure{SheetFailureKind::Quit};
    }
    if (process && !process->waitForExit(exitLimit))
        process->kill();
    return sheetDone();
}

// Called as a visible instance is let go: the window stays for the user, our
// connection goes (an office still connected to may outlive its last window),
// and the office stops listening on our pipe, so it ends as usual when the user
// closes its last window. An office of ours that shows nothing at all is asked
// to end instead of lingering without a window. Whatever else happens, a
// visible office is never killed: it may be asking the user something, or
// hold documents of theirs.
void LibreOfficeCalc::leaveToUser()
{
    if (lost) {
        if (process)
            process->leaveRunning();
        return;
    }
    const bool ours = officeIsOurs();
    const auto showsNothing = guarded(shortCallLimit, [this] {
        const Reference<container::XEnumerationAccess> components(desktop->getComponents(), UNO_QUERY_THROW);
        return !components->createEnumeration()->hasMoreElements() && !openingUnderWay();
    });
    if (ours && showsNothing.ok() && showsNothing.value()) {
        bestEffort(guarded(shortCallLimit, [this] { return desktop->terminate(); }));
        dropConnection();
        if (!process->waitForExit(exitLimit))
            process->leaveRunning();
        return;
    }
    dropConnection();
    if (!lost) {
        auto closer = OfficeProcess::start(launcherPath, {QStringLiteral("--unaccept=%1").arg(acceptString)});
        if (closer.ok() && !closer.value()->waitForExit(exitLimit))
            closer.value()->leaveRunning();
    }
    if (process)
        process->leaveRunning();
}
