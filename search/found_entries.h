#pragma once

#include <QStringList>

// Receives the search's matches, one per listed entry, in the order found.
class FoundEntrySink {
public:
    virtual ~FoundEntrySink() = default;
    // `folderPath` ends with "/"; `folderPath + fileName` is the entry's path.
    virtual void append(const QString &folderPath, const QString &fileName) = 0;
};

// The entries a scan found, in the order found: entry i of both lists
// describes the same directory entry. Entries of one folder share their
// folder text, so a million entries cost little more than their names.
struct FoundEntries : FoundEntrySink {
    QStringList folderPaths;
    QStringList fileNames;

    qsizetype size() const { return fileNames.size(); }
    void append(const QString &folderPath, const QString &fileName) override
    {
        folderPaths.append(folderPath);
        fileNames.append(fileName);
    }
};
