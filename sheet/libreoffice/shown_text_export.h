#pragma once

#include "sheet/spreadsheet.h"

#include <QByteArray>

// The first sheet exported as text, the way the office shows its cells, and
// read back into cells.

inline constexpr char shownTextExportFilter[] = "Text - txt - csv (StarCalc)";
// Tab-separated, '"' around texts that need it, UTF-16, cells as shown,
// first sheet only.
inline constexpr char shownTextExportOptions[] = "9,34,65535,1,,0,false,false,true,false,false,1";

// The exported file's UTF-16 text without its byte order mark; an odd last
// byte is dropped.
QString utf16Text(const QByteArray &bytes);

// The cells of `rect` from the exported sheet, which starts at A1 and stops
// at its last cell with content: what lies beyond is empty. Cells inside
// `errors` hold an error value and are unreadable.
CellTextRows cellsFromSheetText(const QString &text, const CellRect &rect, const QList<CellRect> &errors);
