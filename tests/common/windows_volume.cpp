#include "tests/common/windows_volume.h"

#include "tests/common/mount_tool.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

struct FormatTools {
    QString mkfs;
    QStringList mkfsOptions;
    QString mountProgram;
    QStringList mountOptions;
    const char *packages;
};

FormatTools toolsFor(WindowsVolumeFormat format)
{
    switch (format) {
    case WindowsVolumeFormat::ExFat:
        return {QStringLiteral("mkfs.exfat"), {}, QStringLiteral("mount.exfat-fuse"), {}, "exfatprogs, exfat-fuse"};
    case WindowsVolumeFormat::Fat32:
        return {QStringLiteral("mkfs.vfat"), {QStringLiteral("-F"), QStringLiteral("32")}, QStringLiteral("fusefat"),
                {QStringLiteral("-o"), QStringLiteral("rw+")}, "dosfstools, fusefat"};
    case WindowsVolumeFormat::Ntfs:
        break;
    }
    return {QStringLiteral("mkfs.ntfs"), {QStringLiteral("-F"), QStringLiteral("-Q")}, QStringLiteral("ntfs-3g"), {},
            "ntfs-3g"};
}

// Formatting and mounting tools live in sbin, which a user's PATH may lack.
QString toolPath(const QString &name)
{
    const QString inPath = QStandardPaths::findExecutable(name);
    return inPath.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                            : inPath;
}

// Large enough for FAT32, whose smallest volume holds 65525 clusters.
constexpr qint64 imageSize = 64 * 1024 * 1024;

} // namespace

WindowsVolume::WindowsVolume(WindowsVolumeFormat format) : volumeFormat(format)
{
    if (!QFile::exists(QStringLiteral("/dev/loop-control"))) {
        problem = QStringLiteral("no loop devices here (/dev/loop-control is missing)");
        return;
    }
    if (!QFile::exists(QStringLiteral("/dev/fuse"))) {
        problem = QStringLiteral("FUSE is not available here (/dev/fuse is missing)");
        return;
    }
    mounted = attachAndMount(format);
}

bool WindowsVolume::attachAndMount(WindowsVolumeFormat format)
{
    const FormatTools tools = toolsFor(format);
    const QString mkfs = toolPath(tools.mkfs);
    const QString mountProgram = toolPath(tools.mountProgram);
    const QString losetup = toolPath(QStringLiteral("losetup"));
    if (mkfs.isEmpty() || mountProgram.isEmpty() || losetup.isEmpty()) {
        problem = QStringLiteral("%1, %2 or losetup is missing (scripts/setup-debian.sh --for-tests installs %3)")
                      .arg(tools.mkfs, tools.mountProgram, QLatin1String(tools.packages));
        return false;
    }
    const QString image = workspace.filePath(QStringLiteral("volume.img"));
    QFile imageFile(image);
    if (!workspace.isValid() || !QDir(workspace.path()).mkdir(QStringLiteral("volume")) ||
        !imageFile.open(QIODevice::WriteOnly) || !imageFile.resize(imageSize)) {
        problem = QStringLiteral("no room for a volume image in the temporary folder");
        return false;
    }
    imageFile.close();
    QString output;
    if (!runMountTool(mkfs, tools.mkfsOptions + QStringList{image}, output)) {
        problem = tools.mkfs + QStringLiteral(" failed: ") + output;
        return false;
    }
    if (!runMountTool(losetup, {QStringLiteral("--find"), QStringLiteral("--show"), image}, output)) {
        problem = QStringLiteral("no loop device could be attached: ") + output;
        return false;
    }
    loopDevice = output;
    // The drivers return once the mount stands and serve it from the
    // background.
    if (!runMountTool(mountProgram, tools.mountOptions + QStringList{loopDevice, mountPoint()}, output) ||
        !isOnFuse(mountPoint())) {
        problem = tools.mountProgram + QStringLiteral(" could not mount the volume: ") + output.right(500);
        return false;
    }
    return true;
}

bool WindowsVolume::unmount()
{
    QString output;
    if (mounted && !runMountTool(QStringLiteral("fusermount"), {QStringLiteral("-u"), mountPoint()}, output))
        runMountTool(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint()}, output);
    mounted = false;
    return !isOnFuse(mountPoint());
}

QString WindowsVolume::unmountAndCheck()
{
    if (!unmount())
        return QStringLiteral("the volume could not be unmounted");
    // The drivers write their last changes as they let go of the device.
    QString output;
    const auto check = [&output](const QString &tool, const QStringList &options) {
        const QString path = toolPath(tool);
        if (path.isEmpty())
            return tool + QStringLiteral(" is missing");
        return runMountTool(path, options, output) ? QString() : tool + QStringLiteral(": ") + output;
    };
    switch (volumeFormat) {
    case WindowsVolumeFormat::ExFat:
        return check(QStringLiteral("fsck.exfat"), {QStringLiteral("-n"), loopDevice});
    case WindowsVolumeFormat::Fat32:
        return check(QStringLiteral("fsck.vfat"), {QStringLiteral("-n"), loopDevice});
    case WindowsVolumeFormat::Ntfs:
        break;
    }
    return check(QStringLiteral("ntfsfix"), {QStringLiteral("--no-action"), loopDevice});
}

WindowsVolume::~WindowsVolume()
{
    QString output;
    unmount();
    // A device still held by a driver on its way out is detached as soon as
    // the driver lets go.
    if (!loopDevice.isEmpty())
        runMountTool(toolPath(QStringLiteral("losetup")), {QStringLiteral("--detach"), loopDevice}, output);
}
