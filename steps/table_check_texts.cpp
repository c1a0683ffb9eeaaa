#include "steps/table_check_texts.h"

#include "steps/batch_rename_report.h"

#include <QDir>
#include <QSet>

#include <algorithm>

namespace {

QString extensionText(const QString &name)
{
    const QStringView extension = extensionOf(name);
    return extension.isEmpty() ? QString() : u'.' + extension.toString();
}

QString rowNumbersText(QList<qint64> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    QStringList parts;
    for (const qint64 number : numbers)
        parts << QStringLiteral("第 %1 行").arg(number);
    if (parts.size() <= 2)
        return parts.join(QStringLiteral("和"));
    return parts.mid(0, parts.size() - 1).join(QStringLiteral("、")) + QStringLiteral("和") + parts.last();
}

QString savedText(const QDateTime &saved)
{
    return QStringLiteral("命名表（%1 保存）").arg(saved.toString(QStringLiteral("HH:mm")));
}

} // namespace

QString findingReason(const RowFinding &finding)
{
    switch (finding.problem) {
    case CheckProblem::Refused:
    case CheckProblem::EntryGone:
    case CheckProblem::NewNameTaken: return rowFailureReason(finding.outcome);
    case CheckProblem::SameNewPath:
        return QStringLiteral("新文件名相同（%1）").arg(QDir::toNativeSeparators(finding.newPath));
    case CheckProblem::ExtensionChanged: {
        const QString was = extensionText(finding.currentName);
        const QString now = extensionText(finding.newName);
        return now.isEmpty() ? QStringLiteral("去掉了扩展名 %1").arg(was)
                             : QStringLiteral("扩展名由 %1 改为 %2").arg(was, now);
    }
    case CheckProblem::HiddenRow: return QStringLiteral("此行被隐藏或筛选掉");
    }
    return QString();
}

QString findingLine(const RowFinding &finding)
{
    QList<qint64> rows{finding.rowNumber};
    if (finding.problem == CheckProblem::SameNewPath)
        rows << finding.otherRows;
    return QStringLiteral("%1：%2").arg(rowNumbersText(rows), findingReason(finding));
}

QString partialRunQuestion(const TableCheck &check, qsizetype hiddenNamed)
{
    QStringList counts;
    if (const qsizetype failing = check.failing())
        counts << QStringLiteral("%1 行无法更名").arg(failing);
    if (const qsizetype changed = check.countOf(CheckProblem::ExtensionChanged))
        counts << QStringLiteral("%1 行改变了扩展名").arg(changed);
    if (hiddenNamed > 0)
        counts << QStringLiteral("%1 行被隐藏或筛选掉，它们也填写了新文件名").arg(hiddenNamed);
    if (!check.doneByLastRun.isEmpty())
        counts << QStringLiteral("%1 行上次已经更名，这次不再更名").arg(check.doneByLastRun.size());
    QString question = QStringLiteral("更名之前检查了命名表：%1。").arg(counts.join(QStringLiteral("，")));
    // Rows that share a new path are told in one line, at the first of them.
    QSet<qint64> told;
    qsizetype listed = 0;
    for (const RowFinding &finding : check.findings) {
        if (finding.problem == CheckProblem::HiddenRow || told.contains(finding.rowNumber))
            continue;
        told.insert(finding.rowNumber);
        for (const qint64 other : finding.otherRows)
            told.insert(other);
        if (++listed > listedFailuresLimit)
            continue;
        question += u'\n' + findingLine(finding);
    }
    if (listed > listedFailuresLimit)
        question += QStringLiteral("\n……另有 %1 处未列出。").arg(listed - listedFailuresLimit);
    return question + QStringLiteral("\n更名其余各行，还是返回修改命名表（什么也不更名）？");
}

QStringList partialRunChoices(bool withHiddenRows)
{
    if (withHiddenRows)
        return {QStringLiteral("更名其余各行（含隐藏的行）"), QStringLiteral("只更名显示的行"), QStringLiteral("返回修改")};
    return {QStringLiteral("更名其余各行"), QStringLiteral("返回修改")};
}

QString checkStatusText(const TableCheck &check, const QDateTime &saved)
{
    QStringList parts{QStringLiteral("%1 个将更名").arg(check.willRename)};
    if (const qsizetype failing = check.failing())
        parts << QStringLiteral("%1 行有问题").arg(failing);
    if (const qsizetype changed = check.countOf(CheckProblem::ExtensionChanged))
        parts << QStringLiteral("%1 行改变了扩展名").arg(changed);
    if (const qsizetype hidden = check.countOf(CheckProblem::HiddenRow))
        parts << QStringLiteral("%1 行被隐藏").arg(hidden);
    if (!check.doneByLastRun.isEmpty())
        parts << QStringLiteral("%1 行上次已更名").arg(check.doneByLastRun.size());
    if (check.clean())
        parts << QStringLiteral("没有发现问题");
    return QStringLiteral("%1：%2").arg(savedText(saved), parts.join(QStringLiteral("，")));
}

QString checkWaitsForNextSaveText(const QDateTime &saved)
{
    return QStringLiteral("%1：这次保存无法读取（可能仍在计算公式或写入文件），下次保存后再检查").arg(savedText(saved));
}
