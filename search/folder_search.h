#pragma once

#include "search/found_entries.h"
#include "work/work_control.h"

#include <QString>

#include <cstdint>

// What one search counted. 64-bit, so no count ever stops at a limit.
struct FolderSearchCounts {
    std::int64_t listedEntries = 0; // entries listed, folders with matching names included
    std::int64_t listedFolders = 0; // listed entries that are folders
    std::int64_t subfolders = 0;    // subfolders met at any depth; the start folder is not one
    std::uint64_t totalSize = 0;    // bytes of the listed regular files; other entries add 0
    bool cancelled = false;         // stopped on request before the walk was complete
};

// Walks `folder` and every folder below it, depth first: a folder's own
// entries whose names match `pattern` (see WildcardPattern) in the order the
// file system delivers them, then the whole subtree of each subfolder in the
// order they were met. Each match goes to `found` with its device and inode
// as looked at then, and its folder's path, which is `folder` with a trailing "/" added if it lacks one (an empty
// folder is "/"). "." and ".." are never listed. Symbolic links are never
// followed: a link to a folder is listed like any entry when its name
// matches, but it is neither counted as a subfolder nor searched.
// Does not fail: a folder that cannot be opened contributes nothing, a size
// that cannot be read counts 0, and the walk goes on.
// With a `control`, the walk reports the entries listed so far there as done
// (the total stays unknown) and checks before each entry whether it is to
// stop; once asked, it returns at once, `cancelled` set, having handed
// `found` only part of the matches (the counts describe that part). With
// `foldersSeen`, it counts there the folders whose listing it has begun, the
// start folder included. Without either it reports nothing and, without a
// control, always completes.
FolderSearchCounts searchFolderTree(const QString &folder, const QString &pattern, FoundEntrySink &found,
                                    WorkControl *control = nullptr, std::atomic<std::int64_t> *foldersSeen = nullptr);
