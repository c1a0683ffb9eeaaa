#include "steps/naming_table_read.h"

#include "sheet/naming_table_layout.h"
#include "steps/freed_memory.h"
#include "steps/sheet_failure_texts.h"

namespace {

// Column A's "序号" is not asked for: numbering rows is the one change a
// user may make to the header without meaning another table.
bool holdsHeader(const QList<CellText> &firstRow)
{
    const QStringList expected = NamingTable::headerTexts().mid(1);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (firstRow.value(i).value_or(QString()).trimmed() != expected[i])
            return false;
    }
    return true;
}

} // namespace

namespace {

NamingTableRead failed(const SheetFailure &reason)
{
    return {NamingTableRead::Outcome::Failed, {}, sheetFailureText(reason)};
}

constexpr NamingTableRead::Outcome notATable = NamingTableRead::Outcome::NotATable;

} // namespace

NamingTableRead readNamingTable(SpreadsheetReader &office, const QString &workbookPath, const WorkControl *control)
{
    // Read-only: the table may rename the workbook itself, or another file to
    // its name, and the user may save it meanwhile; whatever stands at its
    // path must stay as it is.
    const SheetStatus opened = office.openWorkbookForReading(workbookPath);
    if (!opened.ok())
        return failed(opened.error());
    const SheetResult<UsedExtent> extent = office.usedExtent();
    if (!extent.ok())
        return failed(extent.error());

    using namespace NamingTable;
    const qint64 lastRow = extent.value().rows;
    if (lastRow < headerRow)
        return {notATable};
    // Asked before the cells, so that reading them stays the last thing
    // step 3 needs of the office.
    SheetResult<QList<bool>> shown = lastRow < firstDataRow
                                         ? SheetResult<QList<bool>>::success({})
                                         : office.shownRows({firstDataRow, newNameColumn, lastRow, newNameColumn});
    if (!shown.ok())
        return failed(shown.error());
    // A block takes the office a fraction of a second, so that a stop is
    // answered soon even though a call under way cannot be interrupted; read
    // whole when nobody may stop it, as each call costs a round trip.
    const qint64 rowsPerBlock = control ? 8192 : lastRow;
    CellTextRows cells;
    for (qint64 top = headerRow; top <= lastRow; top += rowsPerBlock) {
        if (control && control->stopRequested())
            return {NamingTableRead::Outcome::Stopped};
        SheetResult<CellTextRows> block =
            office.readTextBlock({top, folderColumn, std::min(lastRow, top + rowsPerBlock - 1), newNameColumn});
        if (!block.ok())
            return failed(block.error());
        if (top == headerRow && (block.value().isEmpty() || !holdsHeader(block.value().first())))
            return {notATable};
        cells.append(std::move(block.value()));
    }
    QList<NamingTableRow> rows = namingTableRows(cells.mid(firstDataRow - headerRow), firstDataRow);
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].hidden = !shown.value().value(i, true);
    // The rows share the cells' texts; the cells themselves, some 130 bytes
    // a row, are no longer needed.
    cells = {};
    returnFreedMemory();
    return {NamingTableRead::Outcome::Rows, rows};
}
