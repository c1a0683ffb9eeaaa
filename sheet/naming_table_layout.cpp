#include "sheet/naming_table_layout.h"

namespace NamingTable {

const QStringList &headerTexts()
{
    static const QStringList texts{QStringLiteral("序号"), QStringLiteral("目录"), QStringLiteral("文件名"),
                                   QStringLiteral("新文件名")};
    return texts;
}

qint64 sheetRowsOf(const QString &workbookPath)
{
    return workbookPath.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive) ? xlsSheetRows : largeSheetRows;
}

QList<CellRect> shadedGroups(const QList<CellText> &folderCells, qint64 lastColumn)
{
    QList<CellRect> shaded;
    qint64 groupStart = firstDataRow;
    bool shadeThisGroup = false;
    const qint64 lastRow = folderCells.size() + firstDataRow - 1;
    const auto folderAt = [&](qint64 row) {
        return row <= lastRow ? folderCells[row - firstDataRow] : CellText(QString());
    };
    for (qint64 row = firstDataRow + 1; row <= lastRow + 1; ++row) {
        if (folderAt(row) == folderAt(row - 1))
            continue;
        if (shadeThisGroup)
            shaded.append({groupStart, 1, row - 1, lastColumn});
        shadeThisGroup = !shadeThisGroup;
        groupStart = row;
    }
    return shaded;
}

} // namespace NamingTable
