#pragma once

#include <QDir>
#include <QHash>
#include <QString>

// The run renames what is inside a folder before the folder itself, so every
// step's paths name the folders above as they were before the run. Where an
// entry stands now follows from where the folders above it stand now.
class RunSurvey {
public:
    // `path` with the deepest folder above it that has moved put where it
    // stands now.
    QString now(const QString &path) const
    {
        const QString clean = QDir::cleanPath(path);
        for (qsizetype slash = clean.lastIndexOf(u'/'); slash > 0; slash = clean.lastIndexOf(u'/', slash - 1)) {
            if (const auto moved = movedTo.constFind(clean.left(slash)); moved != movedTo.cend())
                return *moved + clean.mid(slash);
        }
        return clean;
    }

    void noteMoved(const QString &originalPath, const QString &currentPath)
    {
        movedTo.insert(QDir::cleanPath(originalPath), currentPath);
    }

private:
    QHash<QString, QString> movedTo;
};
