#pragma once

#include "sheet/sheet_cells.h"
#include "sheet/sheet_result.h"

#include <QIODevice>

// The first sheet exported as text, the way the office shows its cells, and
// read back into cells.

inline constexpr char shownTextExportFilter[] = "Text - txt - csv (StarCalc)";
// Tab-separated, '"' around texts that need it, UTF-16, cells as shown,
// first sheet only. Every row ends with a line feed, the last one too.
inline constexpr char shownTextExportOptions[] = "9,34,65535,1,,0,false,false,true,false,false,1";

// The exported file's UTF-16 text without its byte order mark, read from
// the start of `file`; nothing when the file holds an odd number of bytes,
// which only a file cut short does, or cannot be read to its end.
std::optional<QString> utf16Text(QIODevice &file);

// What the office tells of the sheet besides its text.
struct SheetTextFacts {
    // Cells holding an error value: they are unreadable.
    QList<CellRect> errors;
    // Cells covered by a merged area, which shows only its top-left cell:
    // they read as empty, whatever they hold.
    QList<CellRect> covered;
    // The last row of the rectangle read that holds content; the text must
    // reach at least this far.
    qint64 lastContentRow = 0;
};

// The cells of `rect` from the exported sheet, which starts at A1 and stops
// at its last row with content: what lies beyond is empty. Fails, saying
// where, when the text is cut short: its last row has no line end, it ends
// inside a quoted cell, or it stops above `facts.lastContentRow`; then no
// cell is returned, as any of them could be a fragment.
SheetResult<CellTextRows> cellsFromSheetText(const QString &text, const CellRect &rect, const SheetTextFacts &facts);
