#pragma once

#include "rename/entry_identity.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

// A row's rename as planned: the entry at `currentPath` (folder + current
// name) is to get `newPath`.
struct PlannedRename {
    qsizetype outcomeIndex = 0;
    // Where the current name begins in `currentPath`, after its folder.
    qsizetype nameStart = 0;
    QString currentPath;
    QString newPath;
    EntryId entry;

    QStringView folder() const { return QStringView(currentPath).first(nameStart); }
    QStringView currentName() const { return QStringView(currentPath).sliced(nameStart); }
};
