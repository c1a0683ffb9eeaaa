#include "fuzz/fuzz_sandbox.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file name that is not UTF-8, as some old archives hold.
const QByteArray latin1Name("caf\xe9.dwg");

void removeBelow(int folder)
{
    DIR *listing = fdopendir(dup(folder));
    if (!listing)
        std::abort();
    while (const dirent *entry = readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (unlinkat(folder, entry->d_name, 0) == 0)
            continue;
        const int inner = openat(folder, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (inner < 0)
            std::abort();
        removeBelow(inner);
        close(inner);
        if (unlinkat(folder, entry->d_name, AT_REMOVEDIR) != 0)
            std::abort();
    }
    closedir(listing);
}

void survey(int folder, const QByteArray &prefix, std::map<QByteArray, QByteArray> &entries)
{
    DIR *listing = fdopendir(dup(folder));
    if (!listing)
        std::abort();
    while (const dirent *entry = readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const int inner = openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW);
        if (inner < 0)
            std::abort();
        struct stat status {};
        fstat(inner, &status);
        if (S_ISDIR(status.st_mode)) {
            entries[prefix + name] = "<folder>";
            survey(inner, prefix + name + '/', entries);
        } else {
            QByteArray content(status.st_size, '\0');
            if (read(inner, content.data(), content.size()) != content.size())
                std::abort();
            entries[prefix + name] = content;
        }
        close(inner);
    }
    closedir(listing);
}

} // namespace

FuzzSandbox::FuzzSandbox()
{
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/quillmere-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    rootBytes = pattern + '/';
    rootText = QFile::decodeName(rootBytes);
}

FuzzSandbox::~FuzzSandbox()
{
    const int folder = open(rootBytes.constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        removeBelow(folder);
        close(folder);
    }
    rmdir(rootBytes.constData());
}

const QStringList &FuzzSandbox::startingNames()
{
    static const QStringList names{QStringLiteral("a.txt"), QStringLiteral("b"), QStringLiteral("报告.doc"),
                                   QStringLiteral(" x y "), QStringLiteral("sub"), QFile::decodeName(latin1Name)};
    return names;
}

void FuzzSandbox::refill() const
{
    const int folder = open(rootBytes.constData(), O_RDONLY | O_DIRECTORY);
    if (folder < 0)
        std::abort();
    removeBelow(folder);
    const auto makeFile = [folder](const QByteArray &name, const QByteArray &content) {
        const int file = openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (file < 0 || write(file, content.constData(), content.size()) != content.size())
            std::abort();
        close(file);
    };
    makeFile("a.txt", "content of a.txt");
    makeFile("b", "content of b");
    makeFile("报告.doc", "content of the report");
    makeFile(" x y ", "content of x y");
    makeFile(latin1Name, "content of the Latin-1 name");
    if (mkdirat(folder, "sub", 0755) != 0)
        std::abort();
    makeFile("sub/c", "content of sub/c");
    if (mkdirat(folder, "sub/empty", 0755) != 0)
        std::abort();
    close(folder);
}

std::map<QByteArray, QByteArray> FuzzSandbox::snapshot() const
{
    std::map<QByteArray, QByteArray> entries;
    const int folder = open(rootBytes.constData(), O_RDONLY | O_DIRECTORY);
    if (folder < 0)
        std::abort();
    survey(folder, {}, entries);
    close(folder);
    return entries;
}

bool FuzzSandbox::encloses(const QString &path) const
{
    // A path cut short at a NUL must stay inside as well, in case it ever
    // reached the system that way.
    for (const QString &candidate : {path, path.section(QChar(u'\0'), 0, 0)}) {
        const QString cleaned = QDir::cleanPath(candidate);
        if (!cleaned.startsWith(rootText) || cleaned.size() <= rootText.size())
            return false;
    }
    return true;
}
