#pragma once

#include <QtGlobal>

#include <atomic>

// Shared by step 2's writing of the naming table on one thread and whoever
// watches it from another: the watcher reads how many rows stand in the
// sheet and may ask the writing to stop. Relaxed atomics only.
class TableWriteControl {
public:
    // Asks the writing to stop; it does so before its next block of rows.
    void requestStop() { stopped.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stopped.load(std::memory_order_relaxed); }

    // The rows to write, once known; 0 before.
    qint64 rowsToWrite() const { return total.load(std::memory_order_relaxed); }
    qint64 rowsWritten() const { return written.load(std::memory_order_relaxed); }

    // For the writing itself.
    void reportRowsToWrite(qint64 count) { total.store(count, std::memory_order_relaxed); }
    void reportRowsWritten(qint64 count) { written.store(count, std::memory_order_relaxed); }

private:
    std::atomic<bool> stopped{false};
    std::atomic<qint64> total{0};
    std::atomic<qint64> written{0};
};
