#include "steps/standby_office.h"

#include <chrono>

namespace {

// How often the saved workbook is looked at. A state seen twice in a row has
// settled, so that a save still being written is not read.
constexpr auto lookInterval = std::chrono::milliseconds(300);

} // namespace

StandbyOffice::StandbyOffice(StartSpreadsheetReader starter) : startHidden(std::move(starter)) {}

StandbyOffice::~StandbyOffice()
{
    quitWaitingOffice();
}

void StandbyOffice::prepare(const QString &workbookPath, std::shared_ptr<const ListedEntries> listed)
{
    readAhead.watch(workbookPath, std::move(listed));
    // A start that has already ended without being asked to can only have
    // failed: one that succeeds waits until it is stopped.
    if (starting.valid() && starting.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        starting = {};
    if (starting.valid())
        return;
    starting = std::async(std::launch::async, [this] { return startAndWait(); });
}

SheetResult<std::unique_ptr<SpreadsheetReader>> StandbyOffice::startAndWait()
{
    auto started = startHidden();
    if (!started.ok())
        return started;
    std::unique_lock lock(guard);
    while (!stopRequested.wait_for(lock, lookInterval, [this] { return stopping; })) {
        lock.unlock();
        readAhead.look(*started.value());
        lock.lock();
    }
    return started;
}

std::optional<QList<NamingTableRow>> StandbyOffice::tableReadAhead(const QString &workbookPath)
{
    return readAhead.rowsFor(workbookPath);
}

SheetResult<std::unique_ptr<SpreadsheetReader>> StandbyOffice::endWaiting()
{
    {
        const std::lock_guard lock(guard);
        stopping = true;
    }
    stopRequested.notify_all();
    auto office = starting.get();
    const std::lock_guard lock(guard);
    stopping = false;
    readAhead.forget();
    return office;
}

SheetResult<std::unique_ptr<SpreadsheetReader>> StandbyOffice::take()
{
    if (starting.valid()) {
        auto waiting = endWaiting();
        if (waiting.ok() && waiting.value()->isAnswering())
            return waiting;
    }
    return startHidden();
}

void StandbyOffice::quitWaitingOffice()
{
    // The office handed back is dropped here, which quits it.
    if (starting.valid())
        bestEffort(endWaiting());
}
