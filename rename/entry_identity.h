#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>

#include <optional>

// What identifies a directory entry whatever its name: its device and inode.
struct EntryId {
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const EntryId &, const EntryId &) = default;
};

struct EntryStatus {
    EntryId id;
    // When the entry was made, in nanoseconds since the epoch, where the
    // file system keeps it.
    std::optional<qint64> birth;
    // When the entry's status last changed (a rename, a new link, a change
    // of owner, mode or content), in nanoseconds since the epoch.
    qint64 statusChange = 0;
};

// The entry at `path` itself (a link is not followed), or nothing when there
// is none or it cannot be looked up.
std::optional<EntryStatus> entryStatusOf(const QString &path);

// The device and inode of the entry at `path` itself (a link is not
// followed); cheaper than entryStatusOf. Nothing when there is none or it
// cannot be looked up.
std::optional<EntryId> entryIdOf(const QString &path);

// What `path` leads to, links followed; nothing when there is nothing there
// or it cannot be looked up.
std::optional<EntryId> resolvedEntryId(const QString &path);

// A folder's entries by name with their inodes, as its listing gives them.
struct FolderInodes {
    quint64 device = 0;
    QHash<QByteArray, quint64> inodes;

    // All zero for a name the folder does not hold.
    EntryId idOf(const QString &name) const
    {
        const quint64 inode = inodes.value(QFile::encodeName(name));
        return inode ? EntryId{device, inode} : EntryId();
    }
};

// The folder's listing read once; nothing when the folder cannot be read.
std::optional<FolderInodes> folderInodes(const QString &folder);

// Whether the folder of `path` lists an entry under exactly the last name of
// `path`. On a file system that ignores letter case, other spellings reach
// the entry too, and the entry is not to be taken for one with two names.
// False when the folder cannot be read.
bool isListedUnderItsName(const QString &path);
