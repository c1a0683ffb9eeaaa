#include "search/directory_scan.h"

#include "search/folder_search.h"

ScanResult scanFolder(const QString &folder, const QString &pattern, WorkControl *control,
                       std::atomic<std::int64_t> *foldersSeen)
{
    ScanResult result;
    const FolderSearchCounts counts = searchFolderTree(folder, pattern, result.entries, control, foldersSeen);
    result.cancelled = counts.cancelled;
    result.summary.fileCount = counts.listedEntries - counts.listedFolders;
    result.summary.folderCount = counts.subfolders;
    result.summary.totalSize = counts.totalSize;
    return result;
}
