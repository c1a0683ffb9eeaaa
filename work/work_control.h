#pragma once

#include <atomic>
#include <cstdint>

// Shared by long work running on one thread and whoever watches it from
// another: the watcher reads how far the work has got and may ask it to stop.
// Every member is a relaxed atomic, so the work pays a plain load and store
// per unit and nobody ever waits on a lock. The work decides where it can
// stop (between entries, units or blocks) and says in its own contract what
// a stop leaves.
class WorkControl {
public:
    // Asks the work to stop at its next stopping point; returns at once.
    void requestStop() { stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stop.load(std::memory_order_relaxed); }

    // Units carried out so far, and the units the work has in all once it
    // knows (0 before, or never for work whose size is not known ahead).
    std::int64_t done() const { return doneCount.load(std::memory_order_relaxed); }
    std::int64_t total() const { return totalCount.load(std::memory_order_relaxed); }

    // For the work itself.
    void reportDone(std::int64_t count) { doneCount.store(count, std::memory_order_relaxed); }
    void reportTotal(std::int64_t count) { totalCount.store(count, std::memory_order_relaxed); }

private:
    std::atomic<bool> stop{false};
    // The work writes its counts often and reads the stop flag as often; the
    // watcher reads the counts now and then. Apart from the flag, so that the
    // watcher's reads never pull the flag's line away from the work.
    alignas(64) std::atomic<std::int64_t> doneCount{0};
    std::atomic<std::int64_t> totalCount{0};
};
