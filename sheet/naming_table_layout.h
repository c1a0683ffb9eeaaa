#pragma once

#include "sheet/sheet_cells.h"

#include <QList>
#include <QStringList>

// The naming table on the workbook's first sheet, as step 2 writes it and
// step 3 reads it back: the header in row 1, then one entry per row with its
// folder (ending with "/") in B, its name in C and the new name the user
// types in D. Column B followed directly by C is the entry's path, B followed
// by D its new path.
namespace NamingTable {

inline constexpr qint64 headerRow = 1;
inline constexpr qint64 firstDataRow = 2;
inline constexpr qint64 folderColumn = 2;
inline constexpr qint64 nameColumn = 3;
inline constexpr qint64 newNameColumn = 4;
// A .xls sheet ends at this row; the table must fit above it.
inline constexpr qint64 xlsSheetRows = 65536;
// A sheet of the newer formats, .xlsx and .ods, ends at this row.
inline constexpr qint64 largeSheetRows = 1048576;

// The rows a sheet of the workbook at `path` keeps when it is saved, told by
// the file's extension: a .xls workbook keeps xlsSheetRows, any other
// largeSheetRows. Cannot fail.
qint64 sheetRowsOf(const QString &workbookPath);
// Every second folder group gets this fill: pale green in the Excel 97 palette.
inline constexpr int groupShade = 35;

// "序号", "目录", "文件名", "新文件名": columns A to D of the header row.
const QStringList &headerTexts();

// The rectangles to shade for the folder texts of column B from the first
// data row down to the last used row: consecutive rows with equal folder
// text form a group, and every second group is shaded across columns 1 to
// `lastColumn`. Unreadable cells equal each other and no text. The row
// after the last compares as empty, which closes the last group unless its
// folder cell is empty too. Cannot fail.
QList<CellRect> shadedGroups(const QList<CellText> &folderCells, qint64 lastColumn);

} // namespace NamingTable
