#pragma once

#include "rename/row_outcome.h"

#include <QList>
#include <QString>

#include <functional>

// A yes/no question put to the user: true for 是.
using AskYesNo = std::function<bool(const QString &question)>;

// The rows step 3 goes on with. Rows the sheet hides (NamingTableRow::hidden)
// may hold new names the user no longer has in mind; when any does, and the
// name would rename its entry, `ask` is asked once whether to rename them
// too. 是 keeps every row; 否 leaves out every hidden row, as if the sheet
// held only the rows it shows. When no hidden row would rename, nothing is
// asked and every row stays.
QList<NamingTableRow> rowsChosenToRename(const QList<NamingTableRow> &rows, const AskYesNo &ask);
