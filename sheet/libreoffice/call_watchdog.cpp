#include "sheet/libreoffice/call_watchdog.h"

CallWatchdog::CallWatchdog(std::function<void()> expiryHandler) : onExpiry(std::move(expiryHandler)), watcher([this] { watch(); })
{
}

CallWatchdog::~CallWatchdog()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    watcher.join();
}

void CallWatchdog::arm(std::chrono::milliseconds limit)
{
    {
        std::lock_guard lock(mutex);
        deadline = std::chrono::steady_clock::now() + limit;
    }
    changed.notify_all();
}

void CallWatchdog::disarm()
{
    std::unique_lock lock(mutex);
    deadline.reset();
    changed.wait(lock, [this] { return !expiring; });
}

bool CallWatchdog::hasFired()
{
    std::lock_guard lock(mutex);
    return fired;
}

void CallWatchdog::watch()
{
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (!deadline) {
            changed.wait(lock);
            continue;
        }
        if (changed.wait_until(lock, *deadline) == std::cv_status::timeout && deadline
            && std::chrono::steady_clock::now() >= *deadline) {
            deadline.reset();
            fired = true;
            expiring = true;
            lock.unlock();
            onExpiry();
            lock.lock();
            expiring = false;
            changed.notify_all();
        }
    }
}
