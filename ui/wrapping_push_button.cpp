#include "ui/wrapping_push_button.h"

#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {
// Breaks `text` into lines only at runs of blanks, the way the captions are
// written to wrap; the blanks at a break vanish. Returns an empty list when a
// single word is wider than `width`, so the caller falls back to breaking
// anywhere rather than clipping.
QStringList linesAtBlanks(const QString &text, const QFontMetrics &metrics, int width)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList lines;
    QString line;
    qsizetype start = 0;
    auto words = blanks.globalMatch(text);
    while (start <= text.size()) {
        const QRegularExpressionMatch gap = words.hasNext() ? words.next() : QRegularExpressionMatch();
        const qsizetype end = gap.hasMatch() ? gap.capturedStart() : text.size();
        const QString word = text.mid(start, end - start);
        if (metrics.horizontalAdvance(word) > width)
            return {};
        const QString joined = line + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(joined) > width) {
            lines << line.trimmed();
            line = word;
        } else {
            line = joined;
        }
        if (!gap.hasMatch())
            break;
        line += gap.captured();
        start = gap.capturedEnd();
    }
    lines << line.trimmed();
    return lines;
}
} // namespace

WrappingPushButton::WrappingPushButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
}

void WrappingPushButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect textArea = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QStringList lines = linesAtBlanks(text(), fontMetrics(), textArea.width());
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(),
                         lines.isEmpty() ? text() : lines.join(u'\n'), QPalette::ButtonText);
}
