#pragma once

#include <QString>
#include <QStringList>

// Runs `program` to its end (at most 30 s) without the test's preloaded
// libraries, which must not reach a file system's own process; `output` gets
// what it printed. False unless it ran and exited with 0.
bool runMountTool(const QString &program, const QStringList &arguments, QString &output);

// Whether `path` lies on a FUSE mount.
bool isOnFuse(const QString &path);
