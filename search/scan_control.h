#pragma once

#include <atomic>
#include <cstdint>

// Shared by a scan running on one thread and whoever watches it from
// another: the watcher reads how far the scan has got and may ask it to stop.
// Every member is a relaxed atomic, so the scan pays a plain load and store
// per entry and nobody ever waits on a lock.
class ScanControl {
public:
    // Asks the scan to stop; it does so before reading its next entry.
    void requestCancel() { cancelled.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const { return cancelled.load(std::memory_order_relaxed); }

    // Folders whose listing the scan has begun, the start folder included.
    std::int64_t foldersSeen() const { return folders.load(std::memory_order_relaxed); }
    // Entries listed so far, the same ones the scan hands to its sink.
    std::int64_t entriesFound() const { return entries.load(std::memory_order_relaxed); }

    // For the scan itself.
    void reportFolders(std::int64_t count) { folders.store(count, std::memory_order_relaxed); }
    void reportEntries(std::int64_t count) { entries.store(count, std::memory_order_relaxed); }

private:
    std::atomic<bool> cancelled{false};
    std::atomic<std::int64_t> folders{0};
    std::atomic<std::int64_t> entries{0};
};
