#include "rename/entry_identity.h"

#include <QFile>

#include <sys/stat.h>

namespace {

std::optional<EntryIdentity> identityFrom(int result, const struct stat &status)
{
    if (result != 0)
        return std::nullopt;
    return EntryIdentity{quint64(status.st_dev), quint64(status.st_ino)};
}

} // namespace

std::optional<EntryIdentity> entryIdentity(const QString &path)
{
    struct stat status {};
    return identityFrom(lstat(QFile::encodeName(path).constData(), &status), status);
}

std::optional<EntryIdentity> resolvedIdentity(const QString &path)
{
    struct stat status {};
    return identityFrom(stat(QFile::encodeName(path).constData(), &status), status);
}
