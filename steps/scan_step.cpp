#include "steps/scan_step.h"

QString scanReportText(const ScanSummary &summary, const QLocale &locale)
{
    const QString lineBreak = QStringLiteral("\r\n");
    return QStringLiteral("查找到的文件数：") + QString::number(summary.fileCount) + lineBreak
        + QStringLiteral("查找的目录数：") + QString::number(summary.folderCount) + lineBreak
        + QStringLiteral("文件大小总共为：") + lineBreak
        + groupedDigits(summary.totalSize, locale.groupSeparator()) + QStringLiteral("字节");
}

QString scanProgressText(std::int64_t foldersSeen, std::int64_t entriesFound)
{
    return QStringLiteral("正在查找：已查看 %1 个文件夹，找到 %2 个文件").arg(foldersSeen).arg(entriesFound);
}

QString scanCancelledText()
{
    return QStringLiteral("已取消查找");
}

QString groupedDigits(std::uint64_t value, const QString &separator)
{
    const QString digits = QString::number(value);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += separator;
        grouped += digits.at(i);
    }
    return grouped;
}
