#pragma once

#include "sheet/sheet_failure.h"

#include <QString>

// What the user is told of a failed spreadsheet operation: our reason in
// the user's words, the office's or the system's own text after it where it
// gave one, and what it came from after that. Every kind has its text; an
// empty text never comes back.
QString sheetFailureText(const SheetFailure &failure);
