#include "rename/record_storage.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileFailure failureOf(int errorCode, const QString &path)
{
    FileFailureKind kind = FileFailureKind::Other;
    if (errorCode == ENOSPC || errorCode == EDQUOT)
        kind = FileFailureKind::NoSpace;
    else if (errorCode == EACCES || errorCode == EPERM)
        kind = FileFailureKind::NoPermission;
    else if (errorCode == EROFS)
        kind = FileFailureKind::ReadOnlyFileSystem;
    else if (errorCode == EEXIST)
        kind = FileFailureKind::AlreadyExists;
    return {kind, path, qt_error_string(errorCode)};
}

FileResult writeAll(int descriptor, const QByteArray &bytes, const QString &path)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return failureOf(errno, path);
        // A write that takes nothing and says no why: the disk is full.
        if (result == 0)
            return failureOf(ENOSPC, path);
        written += result;
    }
    return FileResult::success();
}

FileResult syncDescriptor(int descriptor, const QString &path)
{
    if (::fsync(descriptor) != 0)
        return failureOf(errno, path);
    return FileResult::success();
}

} // namespace

DurableFile::~DurableFile()
{
    close();
}

FileResult DurableFile::create(const QString &path)
{
    close();
    filePath = path;
    descriptor = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return failureOf(errno, path);
    return FileResult::success();
}

FileResult DurableFile::write(const QByteArray &bytes)
{
    return descriptor < 0 ? FileResult(failureOf(EBADF, filePath)) : writeAll(descriptor, bytes, filePath);
}

FileResult DurableFile::sync()
{
    return descriptor < 0 ? FileResult(failureOf(EBADF, filePath)) : syncDescriptor(descriptor, filePath);
}

void DurableFile::close()
{
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

FileResult syncFolder(const QString &folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return failureOf(errno, folder);
    const FileResult failure = syncDescriptor(descriptor, folder);
    ::close(descriptor);
    return failure;
}

FileResult makeFolders(const QString &folder)
{
    QString path;
    for (const QString &part : folder.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
            return failureOf(errno, path);
    }
    struct stat status {};
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        return failureOf(errno, folder);
    if (!S_ISDIR(status.st_mode))
        return failureOf(ENOTDIR, folder);
    return FileResult::success();
}

FileResult appendLineDurably(const QString &path, const QByteArray &line)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (descriptor < 0)
        return failureOf(errno, path);
    char last = '\n';
    const off_t size = ::lseek(descriptor, 0, SEEK_END);
    if (size > 0 && ::pread(descriptor, &last, 1, size - 1) != 1)
        last = '\n';
    FileResult written = writeAll(descriptor, (last == '\n' ? QByteArray() : QByteArray("\n")) + line, path);
    if (written.ok())
        written = syncDescriptor(descriptor, path);
    ::close(descriptor);
    return written;
}

void removeFile(const QString &path)
{
    ::unlink(QFile::encodeName(path).constData());
}
