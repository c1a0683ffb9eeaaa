#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

// The file systems whose names follow Windows' rules, told apart because they
// refuse different names and fail renames in different ways.
enum class FileSystemKind {
    // Any other file system (ext4, btrfs, xfs, tmpfs, NFS, a FUSE mount of
    // unknown make, ...): names follow Linux' rules only.
    Other,
    Fat,
    ExFat,
    Ntfs,
    SmbShare,
};

// statfs' f_type of every FUSE mount, whatever its driver.
inline constexpr quint32 fuseFileSystemMagic = 0x65735546;

inline bool isMadeForWindows(FileSystemKind kind)
{
    return kind != FileSystemKind::Other;
}

// The kind from what the system says of a mount: `statfsMagic` is statfs'
// f_type; for a FUSE mount, `mountType` is the mount's type as
// /proc/self/mountinfo gives it ("fuse.fusefat", "fuseblk", ...) and, for a
// fuseblk mount that names no file system, `blockFileSystemType` is the type
// found on its block device ("exfat", "ntfs", "vfat"; empty when unknown).
// Both are ignored for kernel file systems.
FileSystemKind fileSystemKindFrom(quint32 statfsMagic, QStringView mountType, QStringView blockFileSystemType);

// The kinds of the file systems holding folders, for as many folders as one
// plan's rows name (thousands, often on one mount): what a FUSE mount is made
// of is learnt once per device, as reading mountinfo and probing a block
// device take far longer than the rename of a file. Meant to live no longer
// than one plan: a device number may be given to another mount later.
class FileSystemKinds {
public:
    // The kind of the file system holding `folder`. Nothing when the folder
    // cannot be looked up. A FUSE mount whose make cannot be learnt
    // (mountinfo unreadable, its block device unreadable and unknown to
    // udev) counts as Other.
    std::optional<FileSystemKind> of(const QString &folder);

private:
    QHash<quint64, FileSystemKind> fuseMountKinds;
};
