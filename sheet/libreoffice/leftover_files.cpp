#include "sheet/libreoffice/leftover_files.h"

#include <QDir>
#include <QRegularExpression>

#include <cerrno>
#include <signal.h>

namespace {

bool processRuns(qint64 processId)
{
    return kill(pid_t(processId), 0) == 0 || errno == EPERM;
}

} // namespace

QString officeTemporaryTemplate(const QString &kind, qint64 processId)
{
    return QDir::tempPath() + QStringLiteral("/quillmere-%1-%2-XXXXXX").arg(kind).arg(processId);
}

void removeLeftoverOfficeFiles()
{
    // Only names that carry the process id of the program that made them: a
    // folder whose program still runs may be in use.
    static const QRegularExpression ours(QStringLiteral("^quillmere-(office|table)-(\\d+)-[A-Za-z0-9]{6}$"));
    const QDir temporary(QDir::tempPath());
    for (const QString &name : temporary.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QRegularExpressionMatch match = ours.match(name);
        if (match.hasMatch() && !processRuns(match.captured(2).toLongLong()))
            QDir(temporary.filePath(name)).removeRecursively();
    }
}
