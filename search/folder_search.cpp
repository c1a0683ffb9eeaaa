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
    ScanControl *control;
    std::int64_t foldersSeen = 0;

    bool stopRequested()
    {
        if (control && control->cancelRequested())
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
            if (control)
                control->reportFolders(++foldersSeen);
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
                if (entry.kind == FolderListing::Kind::RegularFile)
                    counts.totalSize += listing.regularFileSize(name);
                ++counts.listedEntries;
                if (isFolder)
                    ++counts.listedFolders;
                found.append(folderText, fileName);
                if (control)
                    control->reportEntries(counts.listedEntries);
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
                                    ScanControl *control)
{
    QString start = folder;
    if (!start.endsWith(u'/'))
        start += u'/';
    const WildcardPattern matcher(pattern);
    FolderSearchCounts counts;
    Walk walk{matcher, counts, found, control};
    walk.search(QFile::encodeName(start), start);
    return counts;
}
