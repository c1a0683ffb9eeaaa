#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Receives the search's matches, one per listed entry, in the order found.
class FoundEntrySink {
public:
    virtual ~FoundEntrySink() = default;
    // `folderPath` ends with "/"; `folderPath + fileName` is the entry's path.
    virtual void append(const QString &folderPath, const QString &fileName) = 0;
};

// Counters shared by every level of one search. They start at 0 for the top
// call and are 64-bit, so they never stop at a limit.
struct SearchCounts {
    std::int64_t FileCount = 0;     // entries listed, folders with matching names included
    std::int64_t DirCount = 0;      // subfolders met at any depth; the start folder is not one
    std::int64_t listedFolders = 0; // listed entries that are folders
};

// Cuts `OriginalStr` at its first NUL, in place, and returns the result.
// Text without a NUL comes back unchanged.
QByteArray StripNulls(QByteArray &OriginalStr);

// Walks the folder `path` and every folder below it, depth first: a folder's
// own entries whose names match `SearchStr` (see WildcardPattern) in the order
// the file system delivers them, then the whole subtree of each subfolder in
// the order they were met. Each match goes to `sink` with the folder's path
// and is counted; "." and ".." never are. Symbolic links are never followed:
// a link to a folder is listed like any entry when its name matches, but it is
// neither counted as a subfolder nor searched.
//
// `path` gets a trailing "/" if it lacks one (an empty path becomes "/").
// Returns the total size in bytes of the listed regular files; other entries
// add 0. A folder that cannot be opened contributes nothing and the walk goes
// on; nothing is reported for it. The function itself does not fail.
std::uint64_t FindFilesAPI(QString &path, const QString &SearchStr, SearchCounts &counts, FoundEntrySink &sink);
