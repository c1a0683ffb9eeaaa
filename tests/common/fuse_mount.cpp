#include "tests/common/fuse_mount.h"

#include "tests/common/mount_tool.h"

#include <QStandardPaths>

FuseMountedFolder::FuseMountedFolder()
{
    const QString bindfs = QStandardPaths::findExecutable(QStringLiteral("bindfs"));
    if (bindfs.isEmpty()) {
        problem = QStringLiteral("bindfs is not installed (scripts/setup-debian.sh --for-tests installs it)");
        return;
    }
    if (!backing.isValid() || !seenThrough.isValid()) {
        problem = QStringLiteral("no temporary folder");
        return;
    }
    QString output;
    // bindfs returns once the mount stands and serves it from the background.
    if (!runMountTool(bindfs, {backing.path(), seenThrough.path()}, output) || !isOnFuse(seenThrough.path())) {
        problem = QStringLiteral("bindfs could not mount a folder here: ") + output;
        return;
    }
    mounted = true;
}

FuseMountedFolder::~FuseMountedFolder()
{
    if (!mounted)
        return;
    QString output;
    if (!runMountTool(QStringLiteral("fusermount"), {QStringLiteral("-u"), seenThrough.path()}, output))
        runMountTool(QStringLiteral("umount"), {QStringLiteral("-l"), seenThrough.path()}, output);
}
