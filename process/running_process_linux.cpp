#include "process/running_process.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <cerrno>
#include <limits>
#include <signal.h>

std::optional<quint64> processStartOf(qint64 processId)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = stat.readAll();
    // The command name in parentheses may hold spaces; the fields after it
    // do not. The start time is the 22nd field, the 20th after the name.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return std::nullopt;
    return fields[19].toULongLong();
}

bool processRuns(qint64 processId, std::optional<quint64> startedAt)
{
    if (startedAt)
        return processStartOf(processId) == startedAt;
    if (processId <= 0 || processId > std::numeric_limits<pid_t>::max())
        return true;
    return kill(pid_t(processId), 0) == 0 || errno == EPERM;
}
