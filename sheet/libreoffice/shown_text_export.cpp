#include "sheet/libreoffice/shown_text_export.h"

#include <algorithm>

namespace {

struct SheetText {
    QList<QStringList> rows;
    // Whether the text ends where a row ends, outside any quoted cell.
    bool endsWithRow = true;
};

// Splits the exported sheet into rows of cells. A cell that needs it is
// quoted, with '"' doubled inside; only an unquoted line feed ends a row.
SheetText splitSheetText(const QString &text)
{
    SheetText sheet;
    QStringList row;
    QString cell;
    qsizetype at = 0;
    const qsizetype end = text.size();
    bool rowOpen = false;
    while (at < end) {
        rowOpen = true;
        if (text[at] == u'"' && cell.isEmpty()) {
            bool closed = false;
            for (++at; at < end; ++at) {
                if (text[at] != u'"') {
                    cell += text[at];
                } else if (at + 1 < end && text[at + 1] == u'"') {
                    cell += u'"';
                    ++at;
                } else {
                    ++at;
                    closed = true;
                    break;
                }
            }
            if (!closed)
                break;
            continue;
        }
        if (text[at] == u'\t') {
            row.append(cell);
            cell.clear();
        } else if (text[at] == u'\n') {
            row.append(cell);
            sheet.rows.append(row);
            row.clear();
            cell.clear();
            rowOpen = false;
        } else {
            cell += text[at];
        }
        ++at;
    }
    if (rowOpen) {
        sheet.endsWithRow = false;
        row.append(cell);
        sheet.rows.append(row);
    }
    return sheet;
}

void setCells(CellTextRows &cells, const CellRect &rect, const CellRect &area, const CellText &value)
{
    for (qint64 row = std::max(area.top, rect.top); row <= std::min(area.bottom, rect.bottom); ++row) {
        for (qint64 column = std::max(area.left, rect.left); column <= std::min(area.right, rect.right); ++column)
            cells[row - rect.top][column - rect.left] = value;
    }
}

} // namespace

std::optional<QString> utf16Text(const QByteArray &bytes)
{
    if (bytes.size() % qsizetype(sizeof(char16_t)) != 0)
        return std::nullopt;
    const auto *units = reinterpret_cast<const char16_t *>(bytes.constData());
    qsizetype count = bytes.size() / qsizetype(sizeof(char16_t));
    if (count > 0 && units[0] == u'\uFEFF') {
        ++units;
        --count;
    }
    return QString(reinterpret_cast<const QChar *>(units), count);
}

SheetResult<CellTextRows> cellsFromSheetText(const QString &text, const CellRect &rect, const SheetTextFacts &facts)
{
    const SheetText sheet = splitSheetText(text);
    if (!sheet.endsWithRow)
        return SheetResult<CellTextRows>::failure(
            QStringLiteral("工作表的文本副本不完整：在第 %1 行中断").arg(sheet.rows.size()));
    if (sheet.rows.size() < facts.lastContentRow)
        return SheetResult<CellTextRows>::failure(QStringLiteral("工作表的文本副本不完整：只到第 %1 行，表格有 %2 行")
                                                      .arg(sheet.rows.size())
                                                      .arg(facts.lastContentRow));
    CellTextRows cells;
    cells.reserve(rect.bottom - rect.top + 1);
    for (qint64 row = rect.top; row <= rect.bottom; ++row) {
        const QStringList source = row - 1 < sheet.rows.size() ? sheet.rows[row - 1] : QStringList();
        QList<CellText> line;
        line.reserve(rect.right - rect.left + 1);
        for (qint64 column = rect.left; column <= rect.right; ++column)
            line.append(source.value(column - 1));
        cells.append(line);
    }
    for (const CellRect &error : facts.errors)
        setCells(cells, rect, error, std::nullopt);
    // A covered cell shows nothing, not even its error value.
    for (const CellRect &covered : facts.covered)
        setCells(cells, rect, covered, QString());
    return SheetResult<CellTextRows>::success(cells);
}
