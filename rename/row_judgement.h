#pragma once

#include "rename/entry_identity.h"
#include "rename/row_outcome.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Decides what can be decided from the row's text alone, setting the
// outcome's problem when the row fails. Returns true when the row still needs
// its rename carried out. A row fails when a cell is unreadable, the folder
// is not an absolute path or does not end with "/", a name is ".", "..", or
// holds "/" or NUL, or the new name begins or ends with whitespace or holds a
// control character, a format character (general category Cf, such as
// U+200B or U+202E), another character that shows nothing (showsNothing) or
// an unpaired UTF-16 surrogate, or has nothing but spaces, combining marks
// and blank symbols. An empty new name or one
// equal to the current name leaves the row alone and is no failure.
bool judgeRowText(const NamingTableRow &row, RowOutcome &outcome);

// The workbook that holds the naming table. Step 2's window may still show
// it under its old path, and a save there would write the table over whatever
// then bears that name; so no row renames it, and none gives its name to
// another entry. It is told by what it is, not by how a row spells its path.
// Its folder, and the folders above it, may be renamed away, but no row
// gives their names to another entry: a save would then write into that one.
class TableWorkbook {
public:
    // An empty path names no workbook, and every row passes.
    explicit TableWorkbook(const QString &path);

    // Sets the outcome's problem and returns false when the row, which
    // passed judgeRowText, renames the workbook or gives its name, or the
    // name of a folder above it, to another entry.
    bool judgeRow(const NamingTableRow &row, RowOutcome &outcome) const;

private:
    // A name in a folder, the folder's links resolved, and the entry that
    // bore it when the workbook was looked at.
    struct NameSlot {
        QString folder;
        QString name;
        std::optional<EntryId> id;
    };

    bool isAt(const QString &folder, const QString &name) const;
    void addSlotsOf(const QString &path);
    bool takes(const QList<NameSlot> &places, const QString &folder, const QString &name) const;

    QStringList names;
    // The workbook's path, and the folders above it, as the window knows
    // them and with their links resolved.
    QList<NameSlot> fileSlots;
    QList<NameSlot> folderSlots;
    std::optional<EntryId> ownId;
    std::optional<EntryId> fileId;
};
