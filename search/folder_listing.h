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

    // Size in bytes of the regular file `name` in this folder; 0 when it is
    // not a regular file or cannot be queried. Needs the listing still open.
    std::uint64_t regularFileSize(const QByteArray &name) const;

private:
    void *handle = nullptr;
};
