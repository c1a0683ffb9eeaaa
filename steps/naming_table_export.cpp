#include "steps/naming_table_export.h"

#include "sheet/naming_table_layout.h"
#include "steps/sheet_failure_texts.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

const QString clearRowMacro = QStringLiteral("ClearRow");

// The rows among the first `count` data rows whose new name the user typed
// beside another entry, in rectangles of column D. A new name stays only
// beside the entry it was typed for: the same folder and name in the same
// row. When the old table cannot be read, no new name can be trusted.
QList<CellRect> staleNewNames(SpreadsheetWriter &office, const FoundEntries &entries, qint64 count)
{
    using namespace NamingTable;
    const SheetResult<UsedExtent> extent = office.usedExtent();
    if (!extent.ok() || extent.value().rows < firstDataRow || count == 0)
        return {};
    const qint64 lastRow = std::min(extent.value().rows, firstDataRow + count - 1);
    const SheetResult<CellTextRows> old = office.readTextBlock({firstDataRow, folderColumn, lastRow, newNameColumn});
    if (!old.ok())
        return {{firstDataRow, newNameColumn, lastRow, newNameColumn}};
    QList<CellRect> stale;
    for (qint64 i = 0; i < old.value().size(); ++i) {
        const QList<CellText> &cells = old.value()[i];
        const bool sameEntry = cells.value(0) == entries.folderPaths[i] && cells.value(1) == entries.fileNames[i];
        if (sameEntry || cells.value(2) == QString())
            continue;
        const qint64 row = firstDataRow + i;
        if (!stale.isEmpty() && stale.last().bottom == row - 1)
            stale.last().bottom = row;
        else
            stale.append({row, newNameColumn, row, newNameColumn});
    }
    return stale;
}

// Column B of the table's rows as the sheet shows them; nothing when it
// cannot be read. A new workbook has no formats that could show a text
// otherwise, so it shows exactly the folders just written; reading them back
// would cost a text copy of the whole sheet.
std::optional<QList<CellText>> shownFolders(SpreadsheetWriter &office, const FoundEntries &entries, qint64 count,
                                            bool existingWorkbook)
{
    using namespace NamingTable;
    QList<CellText> folderTexts;
    if (!existingWorkbook) {
        folderTexts.reserve(count);
        for (qint64 i = 0; i < count; ++i)
            folderTexts.append(entries.folderPaths[i]);
        return folderTexts;
    }
    const auto folders = office.readTextBlock({firstDataRow, folderColumn, firstDataRow + count - 1, folderColumn});
    if (!folders.ok())
        return std::nullopt;
    folderTexts.reserve(folders.value().size());
    for (const QList<CellText> &row : folders.value())
        folderTexts.append(row.value(0));
    return folderTexts;
}

bool stillAnswering(SpreadsheetWriter &office, NamingTableView &view)
{
    const std::optional<SheetFailure> lost = office.unresponsiveReason();
    if (!lost)
        return true;
    view.showMessage(QStringLiteral("LibreOffice 没有响应，命名表没有写完：%1").arg(sheetFailureText(*lost)));
    return false;
}

// Opens the workbook at `workbookPath`, or has the office make it when
// nothing stands there. Returns whether it existed before; nothing, once the
// user is told, when it can be neither opened nor made.
std::optional<bool> openOrCreateWorkbook(SpreadsheetWriter &office, const QString &workbookPath, NamingTableView &view)
{
    const QFileInfo file(workbookPath);
    // A link whose target is missing counts as existing: a new workbook
    // saved there would land wherever the link points.
    const bool existing = file.exists() || file.isSymLink();
    if (existing) {
        const SheetStatus opened = office.openWorkbook(workbookPath);
        if (!opened.ok()) {
            view.showMessage(QStringLiteral("无法打开工作簿，命名表没有写入：%1").arg(sheetFailureText(opened.error())));
            return std::nullopt;
        }
    } else if (const QFileInfo folder(file.absolutePath()); folder.isDir() && !folder.isWritable()) {
        // The office would only say that it could not store the document.
        view.showMessage(QStringLiteral("无法新建工作簿 %1：没有写入这个文件夹的权限").arg(QDir::toNativeSeparators(workbookPath)));
        return std::nullopt;
    } else if (const SheetStatus created = office.createWorkbook(workbookPath); !created.ok()) {
        view.showMessage(QStringLiteral("无法新建工作簿 %1，命名表没有写入：%2")
                        .arg(QDir::toNativeSeparators(workbookPath), sheetFailureText(created.error())));
        return std::nullopt;
    }
    return existing;
}

// How many of `entryCount` entries fit below the header of a sheet of
// `sheetRows` rows; the user is told of those left out.
qint64 rowsThatFit(qint64 sheetRows, qint64 entryCount, NamingTableView &view)
{
    using namespace NamingTable;
    const qint64 fitting = sheetRows - firstDataRow + 1;
    if (entryCount <= fitting)
        return entryCount;
    QString tooMany = QStringLiteral("工作表最多只能容纳 %1 个文件（共 %2 行，含表头）：只写入前 %1 个，其余 %3 个文件没有写入。")
                          .arg(fitting)
                          .arg(sheetRows)
                          .arg(entryCount - fitting);
    if (sheetRows == xlsSheetRows)
        tooMany += QStringLiteral("这是 .xls 工作簿的上限；.xlsx 或 .ods 工作簿最多可容纳 %1 行。").arg(largeSheetRows);
    view.showMessage(tooMany);
    return fitting;
}

// Clears the rows an earlier, longer table left below the `count` rows of
// this one, and returns the sheet's used extent from before. The rows of
// an earlier, longer table below this one would go on renaming the files of
// a folder not scanned now: the table ends where the scan ends. Whatever
// else the sheet holds there is of no table. Nothing, once the user is
// told, when they cannot be cleared.
std::optional<UsedExtent> clearEarlierRowsBelow(SpreadsheetWriter &office, bool existing, qint64 sheetRows, qint64 count,
                                                NamingTableView &view)
{
    using namespace NamingTable;
    const qint64 lastTableRow = firstDataRow + count - 1;
    UsedExtent earlier;
    if (existing) {
        const SheetResult<UsedExtent> extent = office.usedExtent();
        earlier = extent.ok() ? extent.value() : UsedExtent{sheetRows, newNameColumn};
    }
    if (earlier.rows > lastTableRow) {
        const SheetStatus cleared = office.clearCells({{lastTableRow + 1, 1, earlier.rows, newNameColumn}});
        if (!cleared.ok()) {
            view.showMessage(QStringLiteral("无法清空新表下方旧命名表留下的行，命名表没有写入：%1").arg(sheetFailureText(cleared.error())));
            return std::nullopt;
        }
    }
    return earlier;
}

// A new name left beside another entry would rename that entry to it.
// False, once the user is told, when the names cannot be cleared.
bool clearStaleNewNames(SpreadsheetWriter &office, const FoundEntries &entries, qint64 count, NamingTableView &view)
{
    if (const SheetStatus cleared = office.clearCells(staleNewNames(office, entries, count)); !cleared.ok()) {
        view.showMessage(QStringLiteral("无法清空 D 列中为别的文件填写的新文件名，命名表没有写入：%1").arg(sheetFailureText(cleared.error())));
        return false;
    }
    return true;
}

// Writes the header and the rows of the first `count` entries. False, once
// the user is told, when a stop asked for through `control` ended it; it
// also ends, saying nothing, once the office no longer answers.
bool writeRows(SpreadsheetWriter &office, const FoundEntries &entries, qint64 count, NamingTableView &view,
               WorkControl *control)
{
    using namespace NamingTable;
    bestEffort(office.putTextBlock(headerRow, 1, {headerTexts()}));
    // Written whole when nobody may stop it: each call costs a round trip.
    const qint64 rowsPerBlock = control ? 8192 : std::max<qint64>(count, 1);
    for (qint64 start = 0; start < count; start += rowsPerBlock) {
        if (control && control->stopRequested()) {
            view.showMessage(tableWritingCancelledText(start, count));
            return false;
        }
        const qint64 end = std::min(count, start + rowsPerBlock);
        QList<QStringList> rows;
        rows.reserve(end - start);
        for (qint64 i = start; i < end; ++i)
            rows.append({entries.folderPaths[i], entries.fileNames[i]});
        bestEffort(office.putTextBlock(firstDataRow + start, folderColumn, rows));
        if (control)
            control->reportDone(end);
        if (office.unresponsiveReason())
            break;
    }
    return true;
}

// Shades every second group of rows with the same folder. Shading left from
// an earlier run of a longer or differently grouped table must not survive
// into this one, below it least of all.
void shadeFolderGroups(SpreadsheetWriter &office, const FoundEntries &entries, qint64 count, bool existing,
                       const UsedExtent &earlier)
{
    using namespace NamingTable;
    UsedExtent used;
    if (const auto extent = office.usedExtent(); extent.ok())
        used = extent.value();
    const qint64 shadedRows = std::max(used.rows, earlier.rows);
    const qint64 shadedColumns = std::max(used.columns, earlier.columns);
    if (shadedRows >= firstDataRow && shadedColumns >= 1)
        bestEffort(office.clearFill({firstDataRow, 1, shadedRows, shadedColumns}));
    if (count > 0 && used.columns >= 1) {
        if (const std::optional<QList<CellText>> folderTexts = shownFolders(office, entries, count, existing))
            bestEffort(office.fillRects(shadedGroups(*folderTexts, used.columns), groupShade));
    }
}

// Whole folder paths and names are what the user tells rows apart by, and
// column D needs room to type in; the cursor waits there.
void readyForTyping(SpreadsheetWriter &office)
{
    using namespace NamingTable;
    bestEffort(office.fitColumnsToText(folderColumn, nameColumn));
    bestEffort(office.widenColumnToMatch(newNameColumn, nameColumn));
    bestEffort(office.placeCursor(firstDataRow, newNameColumn));
}

} // namespace

QString tableWritingCancelledText(qint64 written, qint64 total)
{
    return QStringLiteral("已取消：命名表只写入了 %1 / %2 行，没有保存").arg(written).arg(total);
}

bool exportNamingTable(const StartSpreadsheetWriter &startVisible, const QString &workbookPath, const FoundEntries &entries,
                       NamingTableView &view, WorkControl *control)
{
    if (control)
        control->reportTotal(entries.size());
    auto started = startVisible();
    if (!started.ok()) {
        view.showMessage(QStringLiteral("无法启动 LibreOffice Calc，命名表没有写入：%1").arg(sheetFailureText(started.error())));
        return false;
    }
    if (control && control->stopRequested()) {
        view.showMessage(tableWritingCancelledText(0, entries.size()));
        return false;
    }
    return writeNamingTable(*started.value(), workbookPath, entries, view, control);
}

bool writeNamingTable(SpreadsheetWriter &office, const QString &workbookPath, const FoundEntries &entries,
                      NamingTableView &view, WorkControl *control)
{
    const std::optional<bool> existing = openOrCreateWorkbook(office, workbookPath, view);
    if (!existing)
        return false;
    bestEffort(office.showWindow());
    // A table the window does not show would be filled in nowhere, and
    // renamed from whatever new names its sheet held before.
    if (const SheetStatus shown = office.activateFirstSheet(); !shown.ok()) {
        if (stillAnswering(office, view))
            view.showMessage(QStringLiteral("无法显示第一张工作表，命名表没有写入：%1").arg(sheetFailureText(shown.error())));
        return false;
    }
    // From here on a failed operation is skipped and the step goes on, unless
    // the office itself has stopped answering.

    const qint64 sheetRows = NamingTable::sheetRowsOf(workbookPath);
    const qint64 count = rowsThatFit(sheetRows, entries.size(), view);
    if (control)
        control->reportTotal(count);
    const std::optional<UsedExtent> earlier = clearEarlierRowsBelow(office, *existing, sheetRows, count, view);
    if (!earlier || !clearStaleNewNames(office, entries, count, view))
        return false;
    if (!writeRows(office, entries, count, view, control) || !stillAnswering(office, view))
        return false;

    bestEffort(office.runFirstSheetMacro(clearRowMacro));
    if (!stillAnswering(office, view))
        return false;

    shadeFolderGroups(office, entries, count, *existing, *earlier);
    readyForTyping(office);
    return stillAnswering(office, view);
}
