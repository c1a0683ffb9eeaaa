#include "directory_scan.h"

ScanSummary scanFolder(const QString &folder, const QString &pattern, FoundEntrySink &sink)
{
    SearchCounts counts;
    QString searchPath = folder;
    ScanSummary summary;
    summary.totalSize = FindFilesAPI(searchPath, pattern, counts, sink);
    summary.fileFigure = counts.FileCount - counts.listedFolders;
    summary.DirCount = counts.DirCount;
    return summary;
}

QString scanReportText(const ScanSummary &summary, const QLocale &locale)
{
    const QString lineBreak = QStringLiteral("\r\n");
    return QStringLiteral("查找到的文件数：") + QString::number(summary.fileFigure) + lineBreak
        + QStringLiteral("查找的目录数：") + QString::number(summary.DirCount) + lineBreak
        + QStringLiteral("文件大小总共为：") + lineBreak
        + groupedDigits(summary.totalSize, locale.groupSeparator()) + QStringLiteral("字节");
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
