#pragma once

#include "search/found_entries.h"

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
};

// Searches `folder` and everything below it for `pattern` (see
// searchFolderTree). Does not fail: unreadable folders simply contribute
// nothing.
ScanResult scanFolder(const QString &folder, const QString &pattern);
