#include "sheet/libreoffice/shown_text_export.h"

#include <algorithm>

namespace {

// Where the scan of the exported sheet stopped.
struct SheetTextEnd {
    // The rows the text holds, a row cut short included.
    qint64 rows = 0;
    // Whether the text ends where a row ends, outside any quoted cell.
    bool endsWithRow = true;
};

// Walks the exported sheet cell by cell, handing each to
// `take(row, column, text)` with rows and columns counted from 1. A cell that
// needs it is quoted, with '"' doubled inside; only an unquoted line feed ends
// a row. A cell without quotes is handed as the stretch of `text` it covers,
// so that only the cells kept are ever copied.
template <typename TakeCell>
SheetTextEnd scanSheetText(QStringView text, TakeCell &&take)
{
    SheetTextEnd scanned;
    qint64 row = 1;
    qint64 column = 1;
    qsizetype at = 0;
    const qsizetype end = text.size();
    qsizetype cellStart = 0;
    // Once a cell holds a quoted part, it is built here instead.
    bool quoted = false;
    QString unquoted;
    bool rowOpen = false;
    const auto cellText = [&] { return quoted ? QStringView(unquoted) : text.mid(cellStart, at - cellStart); };
    while (at < end) {
        rowOpen = true;
        const QChar c = text[at];
        const bool cellEmpty = quoted ? unquoted.isEmpty() : at == cellStart;
        if (c == u'"' && cellEmpty) {
            quoted = true;
            bool closed = false;
            for (++at; at < end; ++at) {
                if (text[at] != u'"') {
                    unquoted += text[at];
                } else if (at + 1 < end && text[at + 1] == u'"') {
                    unquoted += u'"';
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
        if (c == u'\t' || c == u'\n') {
            take(row, column, cellText());
            quoted = false;
            unquoted.clear();
            cellStart = at + 1;
            if (c == u'\n') {
                ++row;
                column = 1;
                rowOpen = false;
            } else {
                ++column;
            }
        } else if (quoted) {
            unquoted += c;
        }
        ++at;
    }
    scanned.rows = row - 1;
    if (rowOpen) {
        scanned.endsWithRow = false;
        take(row, column, cellText());
        scanned.rows = row;
    }
    return scanned;
}

void setCells(CellTextRows &cells, const CellRect &rect, const CellRect &area, const CellText &value)
{
    for (qint64 row = std::max(area.top, rect.top); row <= std::min(area.bottom, rect.bottom); ++row) {
        for (qint64 column = std::max(area.left, rect.left); column <= std::min(area.right, rect.right); ++column)
            cells[row - rect.top][column - rect.left] = value;
    }
}

} // namespace

std::optional<QString> utf16Text(QIODevice &file)
{
    const qint64 bytes = file.size();
    if (bytes % qint64(sizeof(char16_t)) != 0)
        return std::nullopt;
    // Read straight into the text: a table of a million rows is some 200 MB
    // of it, which is held once rather than as bytes and again as text.
    QString text(qsizetype(bytes / qint64(sizeof(char16_t))), Qt::Uninitialized);
    if (file.read(reinterpret_cast<char *>(text.data()), bytes) != bytes)
        return std::nullopt;
    if (text.startsWith(QChar(u'\uFEFF')))
        text.remove(0, 1);
    return text;
}

SheetResult<CellTextRows> cellsFromSheetText(const QString &text, const CellRect &rect, const SheetTextFacts &facts)
{
    const qsizetype width = rect.right - rect.left + 1;
    // Rows the text does not reach stay as they start: every cell empty.
    CellTextRows cells(rect.bottom - rect.top + 1, QList<CellText>(width, QString()));
    // A cell that repeats the one above shares its text, as a folder does
    // down the hundreds of rows of its entries.
    // Every row's cells get their memory before any text does, all in one
    // stretch: whoever takes the rows apart and keeps only their texts can
    // then give that stretch back whole, where rows mixed in with the texts
    // would leave holes no other memory fits.
    for (QList<CellText> &line : cells)
        line.detach();
    QList<QString> above(width);
    const SheetTextEnd scanned = scanSheetText(text, [&](qint64 row, qint64 column, QStringView cell) {
        if (row < rect.top || row > rect.bottom || column < rect.left || column > rect.right)
            return;
        CellText &target = cells[row - rect.top][column - rect.left];
        if (cell.isEmpty())
            return;
        QString &previous = above[column - rect.left];
        if (previous != cell)
            previous = cell.toString();
        target = previous;
    });
    if (!scanned.endsWithRow)
        return SheetResult<CellTextRows>::failure(SheetFailure(SheetFailureKind::TextCopyBrokenOff).withNumbers({scanned.rows}));
    if (scanned.rows < facts.lastContentRow)
        return SheetResult<CellTextRows>::failure(
            SheetFailure(SheetFailureKind::TextCopyShort).withNumbers({scanned.rows, facts.lastContentRow}));
    for (const CellRect &error : facts.errors)
        setCells(cells, rect, error, std::nullopt);
    // A covered cell shows nothing, not even its error value.
    for (const CellRect &covered : facts.covered)
        setCells(cells, rect, covered, QString());
    return SheetResult<CellTextRows>::success(std::move(cells));
}
