#include "search/directory_scan.h"

#include "search/folder_search.h"

ScanResult scanFolder(const QString &folder, const QString &pattern)
{
    ScanResult result;
    const FolderSearchCounts counts = searchFolderTree(folder, pattern, result.entries);
    result.summary.fileCount = counts.listedEntries - counts.listedFolders;
    result.summary.folderCount = counts.subfolders;
    result.summary.totalSize = counts.totalSize;
    return result;
}
