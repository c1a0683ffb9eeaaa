#pragma once

#include "rename/row_outcome.h"

#include <QList>
#include <QString>
#include <QStringList>

// What step 3 tells the user of a run: the renamed-files list, the count and
// the closing message with each failed row's reason.

// The entries of the renamed-files list: column D of every row in row order;
// a row whose column D cannot be read adds none.
QStringList renamedFilesListEntries(const QList<NamingTableRow> &rows);

// How many failed rows a closing message of step 3 or undo lists by name;
// the rest are counted.
inline constexpr qsizetype listedFailuresLimit = 20;

// The count text: "批量更名的文件数：" followed by the number of rows listed.
QString processedCountText(qsizetype listedRows);

// Why the row failed, in the user's words; empty for a row that did not.
QString rowFailureReason(const RowOutcome &outcome);

// The closing message: "OK,YOU MAKE IT!" when no row failed; otherwise the
// number of failed rows and, for the first 20 of them, the row number, the old
// and new name and the reason.
QString finalMessage(const QList<RowOutcome> &outcomes);

// Whether any row asks for something: a new name in D, or a D that cannot be
// read (which fails with its reason). A table without is a table the user
// has not filled in, or saved, yet.
bool holdsNewNames(const QList<NamingTableRow> &rows);

// Step 3's answer to a table without new names: nothing was renamed, and what
// to do.
QString noNewNamesMessage();

// Step 3's answer to a workbook at `workbookPath` whose first sheet is no
// naming table.
QString notANamingTableMessage(const QString &workbookPath);

// Step 3's answer while the user's window still shows the table with changes
// not saved.
QString unsavedChangesMessage();
