#include "find_files.h"

#include "folder_listing.h"
#include "wildcard_pattern.h"

#include <QFile>

#include <vector>

QByteArray StripNulls(QByteArray &OriginalStr)
{
    const qsizetype nul = OriginalStr.indexOf('\0');
    if (nul >= 0)
        OriginalStr.truncate(nul);
    return OriginalStr;
}

namespace {

struct Walk {
    const WildcardPattern &pattern;
    SearchCounts &counts;
    FoundEntrySink &sink;

    // `folder` is the folder's path in file-system bytes and `folderText` the
    // same path as shown to the user; both end with "/".
    std::uint64_t search(const QByteArray &folder, const QString &folderText)
    {
        std::uint64_t total = 0;
        std::vector<QByteArray> subfolders;
        {
            FolderListing listing(folder);
            FolderListing::Entry entry;
            while (listing.next(entry)) {
                const QByteArray name = StripNulls(entry.nameRecord);
                if (name == "." || name == "..")
                    continue;
                const bool isFolder = entry.kind == FolderListing::Kind::Folder;
                if (isFolder) {
                    subfolders.push_back(name);
                    ++counts.DirCount;
                }
                const QString fileName = QFile::decodeName(name);
                if (!pattern.matches(fileName))
                    continue;
                if (entry.kind == FolderListing::Kind::RegularFile)
                    total += listing.regularFileSize(name);
                ++counts.FileCount;
                if (isFolder)
                    ++counts.listedFolders;
                sink.append(folderText, fileName);
            }
        }
        for (const QByteArray &name : subfolders)
            total += search(folder + name + '/', folderText + QFile::decodeName(name) + u'/');
        return total;
    }
};

} // namespace

std::uint64_t FindFilesAPI(QString &path, const QString &SearchStr, SearchCounts &counts, FoundEntrySink &sink)
{
    if (!path.endsWith(u'/'))
        path += u'/';
    const WildcardPattern pattern(SearchStr);
    Walk walk{pattern, counts, sink};
    return walk.search(QFile::encodeName(path), path);
}
