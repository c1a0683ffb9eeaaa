#pragma once

#include "search/found_entries.h"
#include "work/work_control.h"

#include <QString>

#include <cstdint>

// What step 1 reports after a scan.
struct ScanSummary {
    std::int64_t fileCount = 0; // listed entries that are not folders
    std::int64_t folderCount = 0; // subfolders met at any depth
    std::uint64_t totalSize = 0;
};

struct ScanResult {
    FoundEntries entries;
    ScanSummary summary;
    // Stopped on request: entries and summary then hold only what was found
    // before, and are not to be shown as the scan's result.
    bool cancelled = false;
};

// Searches `folder` and everything below it for `pattern` (see
// searchFolderTree, also for what `control` does). Does not fail:
// unreadable folders simply contribute nothing.
ScanResult scanFolder(const QString &folder, const QString &pattern, WorkControl *control = nullptr,
                      std::atomic<std::int64_t> *foldersSeen = nullptr);
