#pragma once

#include <QList>
#include <QStringList>
#include <QtGlobal>

// The device and inode a listed entry had when the search looked at it; all
// zero when it could not be looked at.
struct FoundEntryId {
    quint64 device = 0;
    quint64 inode = 0;
};

// Receives the search's matches, one per listed entry, in the order found.
class FoundEntrySink {
public:
    virtual ~FoundEntrySink() = default;
    // `folderPath` ends with "/"; `folderPath + fileName` is the entry's path.
    virtual void append(const QString &folderPath, const QString &fileName, FoundEntryId id) = 0;
};

// The entries a scan found, in the order found: entry i of both lists
// describes the same directory entry. Entries of one folder share their
// folder text, so a million entries cost little more than their names.
struct FoundEntries : FoundEntrySink {
    QStringList folderPaths;
    QStringList fileNames;
    // All zero for an entry not looked at (made up by hand).
    QList<FoundEntryId> ids;

    qsizetype size() const { return fileNames.size(); }
    void append(const QString &folderPath, const QString &fileName, FoundEntryId id = {}) override
    {
        folderPaths.append(folderPath);
        fileNames.append(fileName);
        ids.append(id);
    }
};
