#include "rename/file_system_kind.h"

#include <QFile>

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

namespace {

struct MountEntry {
    QString type;
    QString source;
};

// Undoes mountinfo's octal escapes ("\040" for a space).
QString unescapedMountField(const QByteArray &field)
{
    QByteArray plain;
    for (qsizetype index = 0; index < field.size(); ++index) {
        bool octal = false;
        if (field[index] == '\\' && index + 3 < field.size()) {
            const int value = field.mid(index + 1, 3).toInt(&octal, 8);
            if (octal) {
                plain += char(value);
                index += 3;
            }
        }
        if (!octal)
            plain += field[index];
    }
    return QFile::decodeName(plain);
}

// The mount whose device number is `device`; nothing when mountinfo cannot be
// read or lists no such mount. Mounts of one device share its file system,
// so any of them answers.
std::optional<MountEntry> mountOfDevice(dev_t device)
{
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    if (!mountInfo.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray deviceField = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    // Read whole: proc files claim a size of 0, which ends line by line
    // reading at once.
    for (const QByteArray &line : mountInfo.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id, parent, major:minor, root, mount point, options, optional
        // fields, "-", type, source, super options.
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 3 || fields[2] != deviceField || separator < 0 || separator + 2 >= fields.size())
            continue;
        return MountEntry{unescapedMountField(fields[separator + 1]), unescapedMountField(fields[separator + 2])};
    }
    return std::nullopt;
}

// What libblkid finds on the device; needs read access to it, which a user
// seldom has to a disk's partitions.
QString probedFileSystemType(const QString &devicePath)
{
    QString type;
    blkid_probe probe = blkid_new_probe_from_filename(QFile::encodeName(devicePath).constData());
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

std::optional<FileSystemKind> fileSystemKindOf(const QString &folder)
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
    const std::optional<MountEntry> mount = mountOfDevice(status.st_dev);
    if (!mount)
        return FileSystemKind::Other;
    QString blockType;
    if (mount->type == u"fuseblk") {
        blockType = probedFileSystemType(mount->source);
        if (blockType.isEmpty())
            blockType = udevFileSystemType(status.st_dev);
    }
    return fileSystemKindFrom(magic, mount->type, blockType);
}
