#include "search/folder_search.h"

#include "search/folder_listing.h"
#include "search/wildcard_pattern.h"

#include <QFile>

#include <vector>

namespace {

struct Walk {
    const WildcardPattern &pattern;
    FolderSearchCounts &counts;
    FoundEntrySink &found;
    WorkControl *control;
    std::atomic<std::int64_t> *foldersSeen;
    std::int64_t foldersBegun = 0;

    bool stopRequested()
    {
        if (control && control->stopRequested())
            counts.cancelled = true;
        return counts.cancelled;
    }

    // `folder` is the folder's path in file-system bytes and `folderText` the
    // same path as shown to the user; both end with "/".
    void search(const QByteArray &folder, const QString &folderText)
    {
        std::vector<QByteArray> subfolders;
        {
            FolderListing listing(folder);
            ++foldersBegun;
            if (foldersSeen)
                foldersSeen->store(foldersBegun, std::memory_order_relaxed);
            FolderListing::Entry entry;
            // Checked before each entry is read, so that a listing slowed by
            // a share stops after at most one more read.
            while (!stopRequested() && listing.next(entry)) {
                const QByteArray &name = entry.name;
                if (name == "." || name == "..")
                    continue;
                const bool isFolder = entry.kind == FolderListing::Kind::Folder;
                if (isFolder) {
                    subfolders.push_back(name);
                    ++counts.subfolders;
                }
                const QString fileName = QFile::decodeName(name);
                if (!pattern.matches(fileName))
                    continue;
                const FolderListing::Status status = listing.statusOf(name);
                counts.totalSize += status.regularFileSize;
                ++counts.listedEntries;
                if (isFolder)
                    ++counts.listedFolders;
                found.append(folderText, fileName, {status.device, status.inode});
                if (control)
                    control->reportDone(counts.listedEntries);
            }
        }
        for (const QByteArray &name : subfolders) {
            if (stopRequested())
                return;
            search(folder + name + '/', folderText + QFile::decodeName(name) + u'/');
        }
    }
};

} // namespace

FolderSearchCounts searchFolderTree(const QString &folder, const QString &pattern, FoundEntrySink &found,
                                    WorkControl *control, std::atomic<std::int64_t> *foldersSeen)
{
    QString start = folder;
    if (!start.endsWith(u'/'))
        start += u'/';
    const WildcardPattern matcher(pattern);
    FolderSearchCounts counts;
    Walk walk{matcher, counts, found, control, foldersSeen};
    walk.search(QFile::encodeName(start), start);
    return counts;
}
