#include "search/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
DIR *dir(void *handle) { return static_cast<DIR *>(handle); }

FolderListing::Kind kindOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return FolderListing::Kind::Folder;
    if (S_ISREG(mode))
        return FolderListing::Kind::RegularFile;
    return FolderListing::Kind::Other;
}
} // namespace

FolderListing::FolderListing(const QByteArray &folderPath)
    : handle(opendir(folderPath.constData()))
{
}

FolderListing::~FolderListing()
{
    if (handle)
        closedir(dir(handle));
}

bool FolderListing::next(Entry &entry)
{
    if (!handle)
        return false;
    const dirent *record = readdir(dir(handle));
    if (!record)
        return false;
    entry.name = QByteArray(record->d_name);
    switch (record->d_type) {
    case DT_DIR:
        entry.kind = Kind::Folder;
        break;
    case DT_REG:
        entry.kind = Kind::RegularFile;
        break;
    case DT_UNKNOWN: {
        struct stat status;
        entry.kind = fstatat(dirfd(dir(handle)), record->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            ? kindOfMode(status.st_mode)
            : Kind::Other;
        break;
    }
    default:
        entry.kind = Kind::Other;
    }
    return true;
}

FolderListing::Status FolderListing::statusOf(const QByteArray &name) const
{
    struct stat status;
    if (!handle || fstatat(dirfd(dir(handle)), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return {S_ISREG(status.st_mode) ? std::uint64_t(status.st_size) : 0, std::uint64_t(status.st_dev),
            std::uint64_t(status.st_ino)};
}
