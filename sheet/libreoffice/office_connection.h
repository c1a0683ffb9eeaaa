#pragma once

#include "sheet/libreoffice/call_watchdog.h"
#include "sheet/libreoffice/office_process.h"
#include "sheet/libreoffice/uno_bridge.h"

#include <QFileInfo>

#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

// Whether the user sees the office: one that shows windows is theirs, never
// killed by us, whatever it does; a hidden one is ended when it fails us.
enum class OfficeOnScreen { Hidden, Shown };

// The pipe connection to one office and the calls made over it. Each call is
// bounded by a watchdog; a call that runs out of time, or finds the office
// gone, loses the connection for good, and every later call fails at once
// with the reason. A hidden office of ours is killed then; a shown one is
// left running.
class OfficeConnection {
public:
    // `process` is the office's launcher, started with --accept=`acceptString`.
    OfficeConnection(std::unique_ptr<OfficeProcess> process, QString acceptString, OfficeOnScreen onScreen);

    // Connects to the office, waiting at most `limit` for it to answer. On
    // failure the connection is lost with the reason, and a hidden office is
    // killed; a shown one is left running, as it may be asking the user.
    SheetStatus connect(std::chrono::seconds limit);

protected:
    // Runs `body` with its time bounded by `limit`. A CallFailure it throws
    // comes back as the failure; so does an error the office reports, which
    // leaves the connection as it was. A call that runs out of time, or finds
    // the bridge disposed, loses the connection; once it is lost, `body` is
    // not run at all. Whatever `body` did before it failed stays done.
    // `body` never touches `process`: the watchdog may be killing it.
    template <typename Body>
    auto guarded(std::chrono::milliseconds limit, Body body) -> SheetResult<decltype(body())>;

    // Closes the bridge; the office itself keeps running. The desktop and the
    // workbook are proxies over the bridge, so they go first.
    void dropConnection();
    bool officeIsOurs();
    // The document the office shows from `file`, or none. Documents are told
    // apart by the file they show (device and inode; the cleaned path when the
    // file cannot be looked up), however its name is spelled in a URL. Throws
    // like any call over the bridge; run it inside a guarded call.
    css::uno::Reference<css::lang::XComponent> documentShowing(const QFileInfo &file);

    // The watchdog's handler uses it only while a guarded call runs, and
    // disarming waits for that handler, so one thread at a time has it.
    std::unique_ptr<OfficeProcess> process;
    const QString acceptString;
    const OfficeOnScreen onScreen;
    css::uno::Reference<css::frame::XDesktop2> desktop;
    css::uno::Reference<css::frame::XModel> workbook;
    // Why the office can no longer be used; nothing while it can.
    std::optional<SheetFailure> lost;

private:
    template <typename Result>
    Result loseOffice(std::chrono::milliseconds limit);
    SheetStatus reachOffice(std::chrono::seconds limit);
    void breakOff();

    std::mutex connectionMutex;
    css::uno::Reference<css::connection::XConnection> connection;
    css::uno::Reference<css::lang::XComponent> bridge;
    CallWatchdog watchdog;
};

template <typename Body>
auto OfficeConnection::guarded(std::chrono::milliseconds limit, Body body) -> SheetResult<decltype(body())>
{
    using Result = SheetResult<decltype(body())>;
    if (lost)
        return Result::failure(*lost);
    watchdog.arm(limit);
    try {
        auto value = body();
        watchdog.disarm();
        return Result::success(std::move(value));
    } catch (const CallFailure &failure) {
        watchdog.disarm();
        return Result::failure(failure.why);
    } catch (const css::lang::DisposedException &) {
        watchdog.disarm();
        return loseOffice<Result>(limit);
    } catch (const css::uno::Exception &error) {
        watchdog.disarm();
        if (watchdog.hasFired())
            return loseOffice<Result>(limit);
        // The office words its errors in its own internals, in English: they
        // follow what we say happened, for whoever looks further.
        return Result::failure(SheetFailure(SheetFailureKind::Refused).withDetail(toQString(error.Message).trimmed()));
    }
}

template <typename Result>
Result OfficeConnection::loseOffice(std::chrono::milliseconds limit)
{
    lost = watchdog.hasFired() ? SheetFailure(SheetFailureKind::Silent).withNumbers({limit.count() / 1000})
                               : SheetFailure(SheetFailureKind::ConnectionLost);
    dropConnection();
    return Result::failure(*lost);
}
