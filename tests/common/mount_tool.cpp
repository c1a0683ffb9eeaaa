#include "tests/common/mount_tool.h"

#include "rename/file_system_kind.h"

#include <QFile>
#include <QProcess>

#include <sys/vfs.h>

bool runMountTool(const QString &program, const QStringList &arguments, QString &output)
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

bool isOnFuse(const QString &path)
{
    struct statfs status {};
    return statfs(QFile::encodeName(path).constData(), &status) == 0 && quint32(status.f_type) == fuseFileSystemMagic;
}
