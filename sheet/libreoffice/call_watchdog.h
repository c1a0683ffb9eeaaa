#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Bounds a blocking call: if the call is still armed when its time runs out,
// `onExpiry` runs on the watchdog's own thread to break the call off (by
// closing the connection it waits on).
class CallWatchdog {
public:
    explicit CallWatchdog(std::function<void()> onExpiry);
    ~CallWatchdog();
    CallWatchdog(const CallWatchdog &) = delete;
    CallWatchdog &operator=(const CallWatchdog &) = delete;

    void arm(std::chrono::milliseconds limit);
    // Returns once `onExpiry` neither runs nor will run for the deadline armed
    // last: a handler already under way is waited for. So what the handler
    // touches is the caller's alone again afterwards, even when the call ended
    // just as its time ran out. Never call it from `onExpiry`.
    void disarm();
    // Whether a call ran out of time since the watchdog was made.
    bool hasFired();

private:
    void watch();

    std::function<void()> onExpiry;
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    bool fired = false;
    bool expiring = false;
    bool stopping = false;
    std::thread watcher;
};
