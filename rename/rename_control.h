#pragma once

#include <QtGlobal>

#include <atomic>

// Shared by a run of renames on one thread and whoever watches it from
// another: the watcher reads how many of the plan's renames have been
// carried out and may ask the run to stop. Relaxed atomics only, so the run
// pays a plain load and store per unit and nobody waits on a lock.
class RenameControl {
public:
    // Asks the run to stop; it does so before its next unit, so that a cycle
    // under way is completed, or undone as one, first.
    void requestStop() { stopped.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stopped.load(std::memory_order_relaxed); }

    // The plan's renames, once the run has begun; 0 before.
    qint64 renamesPlanned() const { return planned.load(std::memory_order_relaxed); }
    // The plan's renames whose unit has been carried out, failed ones included.
    qint64 renamesDone() const { return done.load(std::memory_order_relaxed); }

    // For the run itself.
    void reportRenamesPlanned(qint64 count) { planned.store(count, std::memory_order_relaxed); }
    void reportRenamesDone(qint64 count) { done.store(count, std::memory_order_relaxed); }

private:
    std::atomic<bool> stopped{false};
    std::atomic<qint64> planned{0};
    std::atomic<qint64> done{0};
};
