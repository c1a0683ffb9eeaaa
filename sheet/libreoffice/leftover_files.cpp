#include "sheet/libreoffice/leftover_files.h"

#include "process/running_process.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The temporary folder is shared with every user and program: anyone may
// have put an entry under one of our names there, a link to a folder of
// theirs included. Only real folders and pipes of this user go, and what is
// inside a folder is removed through descriptors opened without following
// links, never through a path that a link could lead elsewhere.

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int opened) : fd(opened) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd; }
    int release() { return std::exchange(fd, -1); }

private:
    int fd;
};

// The names in the folder open as `folder`, read before anything in it is
// removed; the descriptor stays open.
QList<QByteArray> namesIn(int folder)
{
    QList<QByteArray> names;
    const int reading = ::dup(folder);
    if (reading < 0)
        return names;
    DIR *entries = ::fdopendir(reading);
    if (!entries) {
        ::close(reading);
        return names;
    }
    while (const dirent *entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(entries);
    return names;
}

// The folder `name` in `parent` opened without following a link, when it is
// the very folder `expected` describes (a folder put there meanwhile is not)
// and lies on the same file system, so that a mount inside is left alone.
int openSameFolder(int parent, const QByteArray &name, const struct stat &expected)
{
    Descriptor folder(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (folder.get() < 0 || ::fstat(folder.get(), &opened) != 0 || opened.st_dev != expected.st_dev ||
        opened.st_ino != expected.st_ino)
        return -1;
    return folder.release();
}

// Removes everything inside the folder open as `folder`: links as links,
// folders by descriptor. What cannot be removed stays.
void emptyFolder(int folder)
{
    struct stat self {};
    if (::fstat(folder, &self) != 0)
        return;
    for (const QByteArray &name : namesIn(folder)) {
        struct stat entry {};
        if (::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(entry.st_mode)) {
            ::unlinkat(folder, name.constData(), 0);
            continue;
        }
        if (entry.st_dev != self.st_dev)
            continue;
        const Descriptor inner(openSameFolder(folder, name, entry));
        if (inner.get() < 0)
            continue;
        emptyFolder(inner.get());
        ::unlinkat(folder, name.constData(), AT_REMOVEDIR);
    }
}

// The entry `name` in `parent`, looked at without following a link, when it
// is of `kind` (S_IFDIR, S_IFSOCK) and belongs to the user running us.
bool isOursOfKind(int parent, const QByteArray &name, mode_t kind, struct stat &status)
{
    return ::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && (status.st_mode & S_IFMT) == kind &&
           status.st_uid == ::geteuid();
}

// Removes the entries of `folder` whose names `ours` matches, with the
// process id of the program that made them as its capture "pid", when that
// program no longer runs: a folder or pipe whose program still runs may be in
// use.
void removeDeadOnes(const QString &folderPath, const QRegularExpression &ours, mode_t kind)
{
    const Descriptor folder(::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return;
    for (const QByteArray &name : namesIn(folder.get())) {
        const QRegularExpressionMatch match = ours.match(QFile::decodeName(name));
        struct stat status {};
        if (!match.hasMatch() || processRuns(match.captured(QStringLiteral("pid")).toLongLong()) || !isOursOfKind(folder.get(), name, kind, status))
            continue;
        if (kind == S_IFDIR) {
            const Descriptor leftover(openSameFolder(folder.get(), name, status));
            if (leftover.get() < 0)
                continue;
            emptyFolder(leftover.get());
            ::unlinkat(folder.get(), name.constData(), AT_REMOVEDIR);
        } else {
            ::unlinkat(folder.get(), name.constData(), 0);
        }
    }
}

// The folder where the office's runtime puts its pipes, whatever the
// temporary folder: /tmp, or /var/tmp where /tmp cannot be written.
QString officePipeFolder()
{
    return ::access("/tmp", W_OK) == 0 ? QStringLiteral("/tmp") : QStringLiteral("/var/tmp");
}

} // namespace

QString officeTemporaryTemplate(const QString &kind, qint64 processId)
{
    return QDir::tempPath() + QStringLiteral("/quillmere-%1-%2-XXXXXX").arg(kind).arg(processId);
}

void removeLeftoverOfficeFiles()
{
    static const QRegularExpression folders(QStringLiteral("^quillmere-(office|table)-(?<pid>\\d+)-[A-Za-z0-9]{6}$"));
    removeDeadOnes(QDir::tempPath(), folders, S_IFDIR);
    // The office names its pipe after the user and the name we gave it.
    const QRegularExpression pipes(QStringLiteral("^OSL_PIPE_%1_quillmere-(?<pid>\\d+)-[0-9a-f]+$").arg(::geteuid()));
    removeDeadOnes(officePipeFolder(), pipes, S_IFSOCK);
}
