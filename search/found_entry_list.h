#pragma once

#include "find_files.h"

#include <QStringList>

// Keeps the matches in two parallel lists, entry i of each describing the
// same directory entry.
class FoundEntryList : public FoundEntrySink {
public:
    QStringList folderPaths;
    QStringList fileNames;

    void append(const QString &folderPath, const QString &fileName) override
    {
        folderPaths.append(folderPath);
        fileNames.append(fileName);
    }
};
