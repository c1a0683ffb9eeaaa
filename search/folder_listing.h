#pragma once

#include <QByteArray>

#include <cstdint>

// What the search needs of the file system for one folder, in the order the
// file system delivers the entries. The POSIX implementation lives beside
// this header; CMake picks it.
class FolderListing {
public:
    enum class Kind { Folder, RegularFile, Other };

    struct Entry {
        // The entry's name, bytes as the file system keeps them.
        QByteArray name;
        // Decided from the entry itself, never by following a symbolic link;
        // an entry whose type cannot be read counts as Other.
        Kind kind = Kind::Other;
    };

    // Opens the folder at `folderPath` (bytes as the file system takes them,
    // ending with "/"). A folder that cannot be opened lists nothing.
    explicit FolderListing(const QByteArray &folderPath);
    ~FolderListing();
    FolderListing(const FolderListing &) = delete;
    FolderListing &operator=(const FolderListing &) = delete;

    bool isOpen() const { return handle != nullptr; }

    // Fills `entry` with the next entry, "." and ".." included. Returns false
    // at the end of the folder or when reading fails; the listing then ends.
    bool next(Entry &entry);

    // What the search keeps of the entry `name` of this folder, looked at
    // itself (a link is not followed); all zero when it cannot be looked
    // at. Needs the listing still open.
    struct Status {
        // 0 for anything but a regular file.
        std::uint64_t regularFileSize = 0;
        // What tells the entry from one put at its name later.
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    Status statusOf(const QByteArray &name) const;

private:
    void *handle = nullptr;
};
