#include "tests/common/fuse_mount.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <sys/vfs.h>

namespace {

constexpr long fuseMagic = 0x65735546;

bool isFuse(const QString &path)
{
    struct statfs status {};
    return statfs(QFile::encodeName(path).constData(), &status) == 0 && status.f_type == fuseMagic;
}

// Runs `program` to its end, without the test's preloaded libraries (the
// fault shim must not reach the file system's own process).
bool runTool(const QString &program, const QStringList &arguments, QString &output)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    environment.remove(QStringLiteral("QUILLMERE_RENAME_FAULT"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

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
    if (!runTool(bindfs, {backing.path(), seenThrough.path()}, output) || !isFuse(seenThrough.path())) {
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
    if (!runTool(QStringLiteral("fusermount"), {QStringLiteral("-u"), seenThrough.path()}, output))
        runTool(QStringLiteral("umount"), {QStringLiteral("-l"), seenThrough.path()}, output);
}
