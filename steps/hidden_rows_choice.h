#pragma once

#include "rename/row_outcome.h"

#include <QList>
#include <QString>

#include <optional>

// How many rows the sheet hides hold a new name that would rename their
// entry. Cannot fail.
qsizetype hiddenRowsNamed(const QList<NamingTableRow> &rows);

// Rows the sheet hides (NamingTableRow::hidden) may hold new names the user
// no longer has in mind. When any does, and the name would rename its entry,
// this is the question to ask once: whether to rename them too. Nothing when
// no hidden row would rename; then every row stays. Cannot fail.
std::optional<QString> hiddenRowsQuestion(const QList<NamingTableRow> &rows);

// The rows to go on with after 否 to hiddenRowsQuestion: every row the sheet
// shows, as if it held no others. Cannot fail.
QList<NamingTableRow> rowsTheSheetShows(const QList<NamingTableRow> &rows);
