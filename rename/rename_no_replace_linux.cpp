#include "rename/rename_no_replace.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A QString with NUL would be cut short by the C interfaces, and one that
// does not round-trip through the file-name encoding would name a different
// entry; both must fail instead of touching the wrong file.
std::optional<QByteArray> encodePath(const QString &path)
{
    if (path.contains(QChar(u'\0')))
        return std::nullopt;
    QByteArray encoded = QFile::encodeName(path);
    if (QFile::decodeName(encoded) != path)
        return std::nullopt;
    return encoded;
}

RenameFailure failureFromErrno(int errorCode, const QByteArray &currentPath)
{
    switch (errorCode) {
    case EEXIST:
    case ENOTEMPTY:
        return {RenameError::TargetExists, {}};
    case EACCES:
    case EPERM:
        return {RenameError::PermissionDenied, {}};
    case ENAMETOOLONG:
        return {RenameError::InvalidName, {}};
    default:
        break;
    }
    // ENOENT and ENOTDIR may concern either path; only the source's absence
    // is worth its own reason.
    struct stat status {};
    if (lstat(currentPath.constData(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {RenameError::SourceMissing, {}};
    return {RenameError::Other, qt_error_string(errorCode)};
}

// Said when no safe way is left. Some file systems answer every refused link
// this way, even one whose target exists, so a taken target is looked up to
// keep its own reason.
RenameFailure noSafeRename(const QByteArray &target)
{
    struct stat status {};
    if (lstat(target.constData(), &status) == 0)
        return {RenameError::TargetExists, {}};
    return {RenameError::NoSafeRename, {}};
}

std::optional<RenameFailure> linkThenUnlink(const QByteArray &current, const QByteArray &target)
{
    struct stat status {};
    if (lstat(current.constData(), &status) != 0)
        return failureFromErrno(errno, current);
    if (S_ISDIR(status.st_mode) && target.startsWith(current + '/'))
        return RenameFailure{RenameError::InvalidName, {}};
    if (!S_ISREG(status.st_mode))
        return noSafeRename(target);
    if (linkat(AT_FDCWD, current.constData(), AT_FDCWD, target.constData(), 0) != 0) {
        const int linkError = errno;
        // EPERM is also how a file system says it has no hard links at all,
        // and some answer EINVAL instead.
        if (linkError == EPERM || linkError == EOPNOTSUPP || linkError == EINVAL)
            return noSafeRename(target);
        return failureFromErrno(linkError, current);
    }
    if (unlink(current.constData()) != 0) {
        const int unlinkError = errno;
        unlink(target.constData());
        return failureFromErrno(unlinkError, current);
    }
    return std::nullopt;
}

} // namespace

std::optional<RenameFailure> renameNoReplace(const QString &currentPath, const QString &newPath)
{
    const std::optional<QByteArray> current = encodePath(currentPath);
    const std::optional<QByteArray> target = encodePath(newPath);
    if (!current || !target)
        return RenameFailure{RenameError::InvalidName, {}};

    if (renameat2(AT_FDCWD, current->constData(), AT_FDCWD, target->constData(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    const int renameError = errno;
    // EINVAL is also how some file systems (and ENOSYS how old kernels) say
    // they do not know the no-replace flag; only a link can stand in safely.
    if (renameError == EINVAL || renameError == ENOSYS)
        return linkThenUnlink(*current, *target);
    return failureFromErrno(renameError, *current);
}

std::optional<RenameFailure> renameFileByLink(const QString &currentPath, const QString &newPath)
{
    const std::optional<QByteArray> current = encodePath(currentPath);
    const std::optional<QByteArray> target = encodePath(newPath);
    if (!current || !target)
        return RenameFailure{RenameError::InvalidName, {}};
    return linkThenUnlink(*current, *target);
}
