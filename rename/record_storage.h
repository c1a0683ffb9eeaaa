#pragma once

#include "rename/engine_result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Files that survive a power cut once written, and the running processes that
// write them: what the run records ask of the system, kept apart so that the
// records themselves are plain text handling.

enum class FileFailureKind { NoSpace, NoPermission, ReadOnlyFileSystem, AlreadyExists, Other };

struct FileFailure {
    FileFailureKind kind = FileFailureKind::Other;
    // The file or folder the failure is about.
    QString path;
    // The system's own wording.
    QString systemText;
};

using FileResult = EngineResult<FileFailure>;

// A file made anew and written in order. Closed when the object goes.
class DurableFile {
public:
    DurableFile() = default;
    DurableFile(const DurableFile &) = delete;
    DurableFile &operator=(const DurableFile &) = delete;
    ~DurableFile();

    // Creates the file at `path`, readable by the user alone; fails with
    // AlreadyExists when anything stands there, which is left alone.
    FileResult create(const QString &path);
    // Writes all of `bytes` after what was written before. A failure may
    // leave part of them written.
    FileResult write(const QByteArray &bytes);
    // Returns once everything written is on the disk.
    FileResult sync();
    // Closes the file; later calls fail. Closing a closed file does nothing.
    void close();
    bool isOpen() const { return descriptor >= 0; }

private:
    QString filePath;
    int descriptor = -1;
};

// Makes the folder's list of names durable, so that a file just created in it
// is found after a power cut.
FileResult syncFolder(const QString &folder);

// Makes `folder` and the folders above it that are missing, readable by the
// user alone; fails when something other than a folder stands in the way.
FileResult makeFolders(const QString &folder);

// Appends `line` to the existing file at `path`, on a line of its own even
// when the file ends half way through one, and makes it durable. A failure
// may leave part of the line written.
FileResult appendLineDurably(const QString &path, const QByteArray &line);

// Removes the file at `path`; best effort.
void removeFile(const QString &path);
