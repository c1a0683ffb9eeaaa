#include "naming_table_export.h"

#include "libreoffice_calc.h"

namespace {

constexpr int groupShade = 35; // pale green in the Excel 97 palette
const QString clearRowMacro = QStringLiteral("ClearRow");

const QStringList &header()
{
    static const QStringList texts{QStringLiteral("序号"), QStringLiteral("目录"), QStringLiteral("文件名"),
                                   QStringLiteral("新文件名")};
    return texts;
}

// Rows from 2 down to the last used row form groups of equal folder text;
// every second group is shaded. The row after the last compares as empty,
// which closes the last group unless its folder cell is empty too.
QList<CellRect> shadedGroups(const QList<CellText> &folderColumn, qint64 lastColumn)
{
    QList<CellRect> shaded;
    qint64 groupStart = 2;
    bool shadeThisGroup = false;
    const qint64 lastRow = folderColumn.size() + 1;
    const auto folderAt = [&](qint64 row) { return row <= lastRow ? folderColumn[row - 2] : CellText(QString()); };
    for (qint64 row = 3; row <= lastRow + 1; ++row) {
        if (folderAt(row) == folderAt(row - 1))
            continue;
        if (shadeThisGroup)
            shaded.append({groupStart, 1, row - 1, lastColumn});
        shadeThisGroup = !shadeThisGroup;
        groupStart = row;
    }
    return shaded;
}

bool stillAnswering(Spreadsheet &office, const ShowMessage &showMessage)
{
    if (office.unresponsiveReason().isEmpty())
        return true;
    showMessage(QStringLiteral("LibreOffice 没有响应，命名表没有写完：%1").arg(office.unresponsiveReason()));
    return false;
}

} // namespace

void exportNamingTable(const QString &workbookPath, const QStringList &folders, const QStringList &names,
                       const ShowMessage &showMessage)
{
    auto started = startLibreOfficeCalc(CalcWindow::Visible);
    if (!started.ok()) {
        showMessage(QStringLiteral("无法启动 LibreOffice Calc，命名表没有写入：%1").arg(started.error()));
        return;
    }
    writeNamingTable(*started.value(), workbookPath, folders, names, showMessage);
}

void writeNamingTable(Spreadsheet &office, const QString &workbookPath, const QStringList &folders,
                      const QStringList &names, const ShowMessage &showMessage)
{
    const SheetStatus opened = office.openWorkbook(workbookPath);
    if (!opened.ok()) {
        showMessage(QStringLiteral("无法打开工作簿，命名表没有写入：%1").arg(opened.error()));
        return;
    }
    // From here on a failed operation is skipped and the step goes on, unless
    // the office itself has stopped answering.
    office.showWindow();
    office.activateFirstSheet();

    const qint64 fitting = xlsSheetRows - 1;
    qint64 entries = folders.size();
    if (entries > fitting) {
        showMessage(QStringLiteral("工作表最多只能容纳 %1 个文件（共 %2 行，含表头）：只写入前 %1 个，其余 %3 个文件没有写入。")
                        .arg(fitting)
                        .arg(xlsSheetRows)
                        .arg(entries - fitting));
        entries = fitting;
    }

    office.putTextBlock(1, 1, {header()});
    QList<QStringList> rows;
    rows.reserve(entries);
    for (qint64 i = 0; i < entries; ++i)
        rows.append({folders[i], names.value(i)});
    office.putTextBlock(2, 2, rows);
    if (!stillAnswering(office, showMessage))
        return;

    office.runFirstSheetMacro(clearRowMacro);
    if (!stillAnswering(office, showMessage))
        return;

    UsedExtent used;
    if (const auto extent = office.usedExtent(); extent.ok())
        used = extent.value();
    if (used.rows >= 2 && used.columns >= 1) {
        // Shading left from an earlier run of a longer or differently grouped
        // table must not survive into this one.
        office.clearFill({2, 1, used.rows, used.columns});
        const auto folderColumn = office.readTextBlock({2, 2, used.rows, 2});
        if (folderColumn.ok()) {
            QList<CellText> folderTexts;
            folderTexts.reserve(folderColumn.value().size());
            for (const QList<CellText> &row : folderColumn.value())
                folderTexts.append(row.value(0));
            office.fillRects(shadedGroups(folderTexts, used.columns), groupShade);
        }
    }
    stillAnswering(office, showMessage);
}
