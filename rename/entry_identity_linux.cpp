#include "rename/entry_identity.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>

std::optional<EntryStatus> entryStatusOf(const QString &path)
{
    struct statx status {};
    if (path.contains(QChar(u'\0')) ||
        statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME | STATX_CTIME,
              &status) != 0)
        return std::nullopt;
    EntryStatus entry{{quint64(makedev(status.stx_dev_major, status.stx_dev_minor)), status.stx_ino}, std::nullopt,
                      qint64(status.stx_ctime.tv_sec) * 1000000000 + status.stx_ctime.tv_nsec};
    if (status.stx_mask & STATX_BTIME)
        entry.birth = qint64(status.stx_btime.tv_sec) * 1000000000 + status.stx_btime.tv_nsec;
    return entry;
}

std::optional<EntryId> entryIdOf(const QString &path)
{
    struct stat status {};
    if (path.contains(QChar(u'\0')) || lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return EntryId{quint64(status.st_dev), quint64(status.st_ino)};
}

std::optional<EntryId> resolvedEntryId(const QString &path)
{
    struct stat status {};
    if (path.contains(QChar(u'\0')) || stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return EntryId{quint64(status.st_dev), quint64(status.st_ino)};
}

std::optional<FolderInodes> folderInodes(const QString &folder)
{
    DIR *listing = opendir(QFile::encodeName(folder).constData());
    if (!listing)
        return std::nullopt;
    struct stat status {};
    std::optional<FolderInodes> found;
    if (fstat(dirfd(listing), &status) == 0) {
        found = FolderInodes{quint64(status.st_dev), {}};
        while (const dirent *entry = readdir(listing))
            found->inodes.insert(QByteArray(entry->d_name), entry->d_ino);
    }
    closedir(listing);
    return found;
}

bool isListedUnderItsName(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? encoded.left(slash) : QByteArray("/");
    const QByteArray name = encoded.mid(slash + 1);
    DIR *listing = opendir(folder.constData());
    if (!listing)
        return false;
    bool listed = false;
    while (const dirent *entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, name.constData()) == 0) {
            listed = true;
            break;
        }
    }
    closedir(listing);
    return listed;
}
