#pragma once

#include "rename/row_outcome.h"

#include <QHash>
#include <QSet>
#include <QString>

// Entries whose names are not valid UTF-8, as an old share may hold them.
// Such a name is listed with U+FFFD in place of each byte that cannot be
// decoded, and then reads exactly like another name: "caf\xE9.txt" and a real
// "caf\uFFFD.txt" both read "caf\uFFFD.txt", and a row naming that reaches
// only the second.
class UndecodableNames {
public:
    // Sets the outcome's problem and returns false when the row's current
    // name, or the name of a folder its path passes through, reads like the
    // name of another entry beside it that is not valid UTF-8, while an entry
    // of exactly that name exists too: the row cannot tell which one it
    // means. A folder is read at most once, and only for a name that holds
    // U+FFFD.
    bool judgeRow(const NamingTableRow &row, RowOutcome &outcome);

private:
    bool isAmbiguous(const QString &folder, const QString &name);
    const QSet<QString> &readingsIn(const QString &folder);

    // Per folder as the rows spell it, how its undecodable names read.
    QHash<QString, QSet<QString>> readings;
};
