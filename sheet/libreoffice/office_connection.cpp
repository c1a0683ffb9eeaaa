#include "sheet/libreoffice/office_connection.h"

#include "sheet/libreoffice/uno_names.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>

#include <QDir>
#include <QFile>

#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>

#include <algorithm>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace {

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity &) const = default;
};

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

} // namespace

OfficeConnection::OfficeConnection(std::unique_ptr<OfficeProcess> launcher, QString pipe, OfficeOnScreen shown)
    : process(std::move(launcher)), acceptString(std::move(pipe)), onScreen(shown), watchdog([this] { breakOff(); })
{
}

// Runs on the watchdog's thread while the caller is blocked in a call: closing
// the pipe makes that call fail at once instead of waiting for an office that
// may never answer. A hidden office of ours is ended too; one the user sees
// may be busy with their work, and is left to them.
void OfficeConnection::breakOff()
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
    if (onScreen == OfficeOnScreen::Hidden && officeIsOurs())
        process->kill();
}

void OfficeConnection::dropConnection()
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
bool OfficeConnection::officeIsOurs()
{
    return process && !process->exitStatus();
}

SheetStatus OfficeConnection::connect(std::chrono::seconds limit)
{
    const SheetStatus reached = reachOffice(limit);
    if (!reached.ok()) {
        if (onScreen == OfficeOnScreen::Hidden)
            process->kill();
        else
            process->leaveRunning();
        lost = reached.error();
    }
    return reached;
}

SheetStatus OfficeConnection::reachOffice(std::chrono::seconds limit)
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
                    return SheetStatus::failure(SheetFailure(SheetFailureKind::StoppedWhileStarting).withNumbers({*status}));
                if (std::chrono::steady_clock::now() >= deadline)
                    return SheetStatus::failure(SheetFailure(SheetFailureKind::SilentAfterStart).withNumbers({limit.count()}));
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }
        const Reference<bridge::XBridgeFactory2> factory = bridge::BridgeFactory::create(context.value());
        const Reference<bridge::XBridge> opening = factory->createBridge(OUString(), "urp", opened, nullptr);
        std::lock_guard lock(connectionMutex);
        connection = opened;
        bridge.set(opening, UNO_QUERY_THROW);
    } catch (const uno::Exception &error) {
        return SheetStatus::failure(SheetFailure(SheetFailureKind::CannotConnect).withDetail(toQString(error.Message)));
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

Reference<lang::XComponent> OfficeConnection::documentShowing(const QFileInfo &file)
{
    const std::optional<FileIdentity> wanted = identityOf(file.absoluteFilePath());
    const QString wantedPath = QDir::cleanPath(file.absoluteFilePath());
    const Reference<container::XEnumeration> components =
        Reference<container::XEnumerationAccess>(desktop->getComponents(), UNO_QUERY_THROW)->createEnumeration();
    while (components->hasMoreElements()) {
        const Reference<frame::XModel> model(components->nextElement(), UNO_QUERY);
        if (!model.is())
            continue;
        const QString shownPath = localPathOf(model->getURL());
        if (shownPath.isEmpty())
            continue;
        const bool same = wanted ? identityOf(shownPath) == wanted : QDir::cleanPath(shownPath) == wantedPath;
        if (same)
            return Reference<lang::XComponent>(model, UNO_QUERY);
    }
    return {};
}
