#include "sheet/libreoffice/shown_text_export.h"

#include <algorithm>

namespace {

// Splits the exported sheet into rows of cells. A cell that needs it is
// quoted, with '"' doubled inside; only an unquoted line feed ends a row.
QList<QStringList> splitSheetText(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    qsizetype at = 0;
    const qsizetype end = text.size();
    while (at < end) {
        if (text[at] == u'"' && cell.isEmpty()) {
            for (++at; at < end; ++at) {
                if (text[at] != u'"') {
                    cell += text[at];
                } else if (at + 1 < end && text[at + 1] == u'"') {
                    cell += u'"';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            continue;
        }
        if (text[at] == u'\t') {
            row.append(cell);
            cell.clear();
        } else if (text[at] == u'\n') {
            row.append(cell);
            rows.append(row);
            row.clear();
            cell.clear();
        } else {
            cell += text[at];
        }
        ++at;
    }
    if (!cell.isEmpty() || !row.isEmpty()) {
        row.append(cell);
        rows.append(row);
    }
    return rows;
}

} // namespace

QString utf16Text(const QByteArray &bytes)
{
    const auto *units = reinterpret_cast<const char16_t *>(bytes.constData());
    qsizetype count = bytes.size() / qsizetype(sizeof(char16_t));
    if (count > 0 && units[0] == u'\uFEFF') {
        ++units;
        --count;
    }
    return QString(reinterpret_cast<const QChar *>(units), count);
}

CellTextRows cellsFromSheetText(const QString &text, const CellRect &rect, const QList<CellRect> &errors)
{
    const QList<QStringList> sheetRows = splitSheetText(text);
    CellTextRows cells;
    cells.reserve(rect.bottom - rect.top + 1);
    for (qint64 row = rect.top; row <= rect.bottom; ++row) {
        const QStringList source = row - 1 < sheetRows.size() ? sheetRows[row - 1] : QStringList();
        QList<CellText> line;
        line.reserve(rect.right - rect.left + 1);
        for (qint64 column = rect.left; column <= rect.right; ++column)
            line.append(source.value(column - 1));
        cells.append(line);
    }
    for (const CellRect &error : errors) {
        for (qint64 row = std::max(error.top, rect.top); row <= std::min(error.bottom, rect.bottom); ++row) {
            for (qint64 column = std::max(error.left, rect.left); column <= std::min(error.right, rect.right); ++column)
                cells[row - rect.top][column - rect.left] = std::nullopt;
        }
    }
    return cells;
}

