#include "sheet/libreoffice/call_watchdog.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using Clock = std::chrono::steady_clock;

// Busy until `moment`, letting the other side run meanwhile even on a
// machine with no core to spare.
void workUntil(Clock::time_point moment)
{
    while (Clock::now() < moment)
        std::this_thread::yield();
}

// The handler breaks off a call by killing the office process, which has no
// lock of its own: once disarm() returns the caller uses that process again,
// so no handler may still run then, nor start later. Each call here ends
// close to its deadline, a little before or after it, so that the handler and
// disarm() meet; the handler takes its time, as a kill does.
TEST(CallWatchdog, NoHandlerRunsOnceDisarmReturnsThoughCallsEndAtTheirDeadline)
{
    constexpr int calls = 200;
    constexpr int noCall = -1;
    constexpr auto limit = std::chrono::milliseconds(1);
    std::atomic<int> callUnderWay = noCall;
    std::atomic<int> handlersRun = 0;
    std::atomic<int> handlersOutsideTheirCall = 0;
    {
        CallWatchdog watchdog([&] {
            ++handlersRun;
            const int call = callUnderWay;
            workUntil(Clock::now() + std::chrono::microseconds(100));
            if (call == noCall || callUnderWay != call)
                ++handlersOutsideTheirCall;
        });
        for (int call = 0; call < calls; ++call) {
            callUnderWay = call;
            const auto armedAt = Clock::now();
            watchdog.arm(limit);
            workUntil(armedAt + limit + std::chrono::microseconds(25 * (call % 20)));
            watchdog.disarm();
            callUnderWay = noCall;
        }
    }
    EXPECT_GT(handlersRun, 0) << "no deadline ran out during a call, so nothing was tried";
    EXPECT_EQ(handlersOutsideTheirCall, 0) << "of " << handlersRun << " handlers run";
}

} // namespace
