#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary folder seen through a FUSE passthrough (bindfs), as a network
// share mounted through FUSE is seen: no no-replace rename, hard links kept.
// Mounted for the life of the object; whatever is made below mountPoint()
// must be gone (or its owner destroyed) before the object is.
class FuseMountedFolder {
public:
    FuseMountedFolder();
    ~FuseMountedFolder();
    FuseMountedFolder(const FuseMountedFolder &) = delete;
    FuseMountedFolder &operator=(const FuseMountedFolder &) = delete;

    bool isMounted() const { return mounted; }
    // Why the folder could not be mounted, for the test to skip with.
    QString whyNotMounted() const { return problem; }
    QString mountPoint() const { return seenThrough.path(); }

private:
    QTemporaryDir backing;
    QTemporaryDir seenThrough;
    bool mounted = false;
    QString problem;
};

// Skips the current test, saying why, unless `folder` is mounted.
#define SKIP_UNLESS_MOUNTED(folder)                                                                                  \
    if (!(folder).isMounted())                                                                                       \
    GTEST_SKIP() << "FUSE mount not available: " << (folder).whyNotMounted().toStdString()
