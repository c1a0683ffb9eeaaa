#pragma once

#include "rename/table_check.h"

#include <QDateTime>
#include <QString>

// What the check of a naming table tells the user, in the status line, its
// list of rows and step 3's question.

// Why the check stops at the row: step 3's own reason for a failure it would
// meet, or the warning. Cannot fail.
QString findingReason(const RowFinding &finding);

// One line of step 3's question: "第 7 行：…", or for rows that share a new
// path "第 7 行和第 12 行：新文件名相同（…）". Cannot fail.
QString findingLine(const RowFinding &finding);

// Step 3's question before it renames part of a table: the counts by kind
// (`hiddenNamed` rows the sheet hides hold names too), the first rows with
// their reasons, and what the answers do. Cannot fail.
QString partialRunQuestion(const TableCheck &check, qsizetype hiddenNamed);

// The answers to partialRunQuestion, the last the default: go on with the
// rest, or go back and edit. With rows the sheet hides, going on is offered
// with them and without them.
QStringList partialRunChoices(bool withHiddenRows);

// The status line for a table saved at `saved`: how many rows will be
// renamed, and how many have a problem, change their extension, are hidden
// or were done by the last run; or that no problem was found. Cannot fail.
QString checkStatusText(const TableCheck &check, const QDateTime &saved);

// The status line for a save that could not be read (a formula still being
// worked out, a file still being written): the check waits for the next
// save. Cannot fail.
QString checkWaitsForNextSaveText(const QDateTime &saved);
