#include "rename/file_system_kind.h"

#include <QFile>

#include <blkid/blkid.h>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

namespace {

// The type of the mount whose device number is `device` ("fuse.fusefat",
// "fuseblk", ...); empty when mountinfo cannot be read or lists no such
// mount. Mounts of one device share its file system, so any of them answers.
QString mountTypeOfDevice(dev_t device)
{
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    if (!mountInfo.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray deviceField = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    // Read whole: proc files claim a size of 0, which ends line by line
    // reading at once.
    for (const QByteArray &line : mountInfo.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id, parent, major:minor, root, mount point, options, optional
        // fields, "-", type, source, super options. A type holds no
        // character that mountinfo escapes.
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() > 2 && fields[2] == deviceField && separator > 2 && separator + 1 < fields.size())
            return QString::fromUtf8(fields[separator + 1]);
    }
    return QString();
}

// What libblkid finds on the block device; needs read access to it, which a
// user seldom has to a disk's partitions.
QString probedFileSystemType(dev_t device)
{
    QString type;
    char *devicePath = blkid_devno_to_devname(device);
    if (!devicePath)
        return type;
    blkid_probe probe = blkid_new_probe_from_filename(devicePath);
    free(devicePath);
    if (!probe)
        return type;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE);
    const char *value = nullptr;
    if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "TYPE", &value, nullptr) == 0)
        type = QString::fromUtf8(value);
    blkid_free_probe(probe);
    return type;
}

// What udev found on the device when it appeared (udev probes it with
// libblkid as root and keeps the answer readable to all).
QString udevFileSystemType(dev_t device)
{
    QFile record(QStringLiteral("/run/udev/data/b%1:%2").arg(major(device)).arg(minor(device)));
    if (!record.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray key = "E:ID_FS_TYPE=";
    for (const QByteArray &line : record.readAll().split('\n'))
        if (line.startsWith(key))
            return QString::fromUtf8(line.mid(key.size()));
    return QString();
}

} // namespace

std::optional<FileSystemKind> FileSystemKinds::of(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct statfs fileSystem {};
    struct stat status {};
    if (folder.contains(QChar(u'\0')) || statfs(path.constData(), &fileSystem) != 0 ||
        stat(path.constData(), &status) != 0)
        return std::nullopt;
    const quint32 magic = quint32(fileSystem.f_type);
    if (magic != fuseFileSystemMagic)
        return fileSystemKindFrom(magic, {}, {});
    if (const auto known = fuseMountKinds.constFind(status.st_dev); known != fuseMountKinds.cend())
        return *known;
    // A fuseblk mount's device number is its block device's.
    const QString mountType = mountTypeOfDevice(status.st_dev);
    QString blockType;
    if (mountType == u"fuseblk") {
        blockType = probedFileSystemType(status.st_dev);
        if (blockType.isEmpty())
            blockType = udevFileSystemType(status.st_dev);
    }
    const FileSystemKind kind = fileSystemKindFrom(magic, mountType, blockType);
    fuseMountKinds.insert(status.st_dev, kind);
    return kind;
}
