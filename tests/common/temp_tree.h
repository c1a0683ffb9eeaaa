#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A real temporary folder tree for tests; removed with the object.
class TempTree {
public:
    TempTree() = default;
    // A tree inside `parentFolder` (a mounted share, say); when it is empty,
    // in the system's temporary folder.
    explicit TempTree(const QString &parentFolder)
        : dir(parentFolder.isEmpty() ? QString() : parentFolder + QStringLiteral("/tree-XXXXXX"))
    {
    }
    QString root() const { return dir.path(); }
    QString path(const QString &relative) const { return dir.filePath(relative); }

    // Creates the folder and any missing parents.
    void makeFolder(const QString &relative) const;
    // Creates the file (and its folders) holding `content`.
    void makeFile(const QString &relative, const QByteArray &content = {}) const;

private:
    QTemporaryDir dir;
};

// The content of the file at `path`, or "<missing>" when it cannot be read.
QByteArray fileContent(const QString &path);

// Makes the file at `path` anew, holding `content`, until the file system
// stamps its birth after `moment` (to the millisecond): file systems stamp
// births with a clock that moves in ticks of a few milliseconds, so a file
// made right after `moment` may bear a birth time before it. The current
// test fails if the birth does not pass `moment` within seconds.
void remakeFileBornAfter(const QString &path, const QByteArray &content, const QDateTime &moment);

// Replaces the content of the file at `path`, creating it if need be; the
// current test fails if it cannot.
void writeFileContent(const QString &path, const QByteArray &content);

// The inode of the entry at `path` itself (a link is not followed), or 0
// when there is none: it follows a file's content through renames.
ino_t inodeOf(const QString &path);

// "name=content" (or "name/" for a folder) of every entry of `folder`, hidden
// ones included, sorted by name.
QStringList folderListing(const QString &folder);

// folderListing of `folder` and of every folder below it, as paths relative
// to `folder`.
QStringList treeListing(const QString &folder, const QString &below = QString());
