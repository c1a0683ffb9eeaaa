#pragma once

#include <QProcess>
#include <QString>

// Step 1's baseline: `find` listing the folder, name and size of every entry
// below `root`, read as it comes, one line per entry, as the program would
// have to. Returns the number of entries listed.
inline qint64 listWithFind(const QString &root)
{
    QProcess find;
    find.setProgram("find");
    find.setArguments({root, "-mindepth", "1", "-printf", "%h/ %f %s\n"});
    find.open(QIODevice::ReadOnly);
    qint64 listed = 0;
    while (find.waitForReadyRead(-1) || find.bytesAvailable() > 0)
        listed += find.readAllStandardOutput().count('\n');
    find.waitForFinished(-1);
    return listed;
}
