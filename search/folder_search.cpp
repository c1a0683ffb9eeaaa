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

    // `folder` is the folder's path in file-system bytes and `folderText` the
    // same path as shown to the user; both end with "/".
    void search(const QByteArray &folder, const QString &folderText)
    {
        std::vector<QByteArray> subfolders;
        {
            FolderListing listing(folder);
            FolderListing::Entry entry;
            while (listing.next(entry)) {
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
            }
        }
        for (const QByteArray &name : subfolders)
            search(folder + name + '/', folderText + QFile::decodeName(name) + u'/');
    }
};

} // namespace

FolderSearchCounts searchFolderTree(const QString &folder, const QString &pattern, FoundEntrySink &found)
{
    QString start = folder;
    if (!start.endsWith(u'/'))
        start += u'/';
    const WildcardPattern matcher(pattern);
    FolderSearchCounts counts;
    Walk walk{matcher, counts, found};
    walk.search(QFile::encodeName(start), start);
    return counts;
}
