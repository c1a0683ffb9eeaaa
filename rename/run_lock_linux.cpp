#include "rename/run_lock.h"

#include "rename/record_storage.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

RunLock::RunLock(const QString &recordsFolder)
{
    if (!makeFolders(recordsFolder).ok())
        return;
    // Not a record: readRunRecords lists *.txt only.
    const QByteArray path = QFile::encodeName(recordsFolder + QStringLiteral("/run.lock"));
    descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return;
    int locked;
    do
        locked = ::flock(descriptor, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked == 0)
        return;
    busy = errno == EWOULDBLOCK;
    ::close(descriptor);
    descriptor = -1;
}

RunLock::~RunLock()
{
    // Closing the only descriptor of the open file gives the lock up.
    if (descriptor >= 0)
        ::close(descriptor);
}
