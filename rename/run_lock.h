#pragma once

#include <QString>

// One batch rename, undo or recovery at a time for a user: two at once would
// each rename by paths the other is changing. The lock is an advisory lock
// (flock) on a file in the folder of run records, given up when the object
// goes or its process ends, however it ends.
class RunLock {
public:
    // Tries to take the lock in `recordsFolder` (made when missing) without
    // waiting. When another holds it, takenByAnother() says so and nothing
    // was changed. When the lock cannot be taken for any other reason (the
    // folder cannot be made, the lock file not opened), it is not held and
    // not taken by another: the caller goes on, and the record it writes
    // next into the same folder fails and says why.
    explicit RunLock(const QString &recordsFolder);
    ~RunLock();
    RunLock(const RunLock &) = delete;
    RunLock &operator=(const RunLock &) = delete;

    bool takenByAnother() const { return busy; }

private:
    int descriptor = -1;
    bool busy = false;
};
