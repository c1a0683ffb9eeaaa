#include "tests/common/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QDeadlineTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <stdexcept>

void TempTree::makeFolder(const QString &relative) const
{
    if (!QDir().mkpath(path(relative)))
        throw std::runtime_error("cannot create folder " + relative.toStdString());
}

void TempTree::makeFile(const QString &relative, const QByteArray &content) const
{
    QFile file(path(relative));
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw std::runtime_error("cannot write file " + relative.toStdString());
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList folderListing(const QString &folder)
{
    QStringList entries;
    const QDir dir(folder);
    for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name))
        entries << (info.isDir() ? info.fileName() + "/" : info.fileName() + "=" + fileContent(info.filePath()));
    return entries;
}

QStringList treeListing(const QString &folder, const QString &below)
{
    QStringList entries;
    for (const QString &entry : folderListing(folder + "/" + below)) {
        entries << below + entry;
        if (entry.endsWith(u'/'))
            entries << treeListing(folder, below + entry);
    }
    return entries;
}

void remakeFileBornAfter(const QString &path, const QByteArray &content, const QDateTime &moment)
{
    const qint64 after = (moment.toMSecsSinceEpoch() + 1) * 1000000;
    const QDeadlineTimer deadline(10000);
    for (;;) {
        QFile::remove(path);
        writeFileContent(path, content);
        struct statx status {};
        ASSERT_EQ(statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &status), 0);
        if (!(status.stx_mask & STATX_BTIME) || qint64(status.stx_btime.tv_sec) * 1000000000 + status.stx_btime.tv_nsec >= after)
            return;
        ASSERT_FALSE(deadline.hasExpired()) << "the file system's clock stands still";
    }
}

void writeFileContent(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size()) << path.toStdString();
}

ino_t inodeOf(const QString &path)
{
    struct stat status {};
    return lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}
