#include "batch_rename.h"

#include <QDir>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr qsizetype listedFailuresLimit = 20;

struct PendingRename {
    qsizetype outcomeIndex;
    qsizetype depth;
    QString currentPath;
    QString newPath;
};

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(u'\0'));
}

// Why `name` cannot be given to an entry, or nothing when it can. Besides
// what the system refuses, names whose ends or characters the user cannot see
// are refused: such a file could hardly be found or named again, and a space
// left at the end of a cell is almost always a typing slip.
std::optional<QString> newNameProblem(const QString &name)
{
    // Unpaired, it has no UTF-8 form, so no file can bear the name.
    if (!name.isValidUtf16())
        return QStringLiteral("新文件名含有无效的字符（不成对的 UTF-16 代理项）");
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("新文件名不能含控制字符（如换行、制表符）");
    if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); }))
        return QStringLiteral("新文件名不能只有空白");
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("新文件名首尾不能有空白");
    if (!isPlainName(name))
        return QStringLiteral("新文件名无效（不能含“/”，也不能是“.”或“..”）");
    return std::nullopt;
}

QString unreadableReason(const NamingTableRow &row)
{
    QStringList columns;
    if (!row.folder)
        columns << QStringLiteral("B");
    if (!row.currentName)
        columns << QStringLiteral("C");
    if (!row.newName)
        columns << QStringLiteral("D");
    return QStringLiteral("%1 列的单元格无法读取").arg(columns.join(QStringLiteral("、")));
}

QString renameReason(const RenameFailure &failure)
{
    switch (failure.error) {
    case RenameError::TargetExists:
        return QStringLiteral("新文件名已存在");
    case RenameError::SourceMissing:
        return QStringLiteral("原文件不存在");
    case RenameError::InvalidName:
        return QStringLiteral("文件名无效");
    case RenameError::PermissionDenied:
        return QStringLiteral("没有权限");
    case RenameError::NoSafeRename:
        return QStringLiteral("此文件系统无法保证更名时不覆盖已有的文件，为安全起见没有更名");
    case RenameError::Other:
        break;
    }
    return QStringLiteral("其他错误：") + failure.systemText;
}

void markInvalid(RowOutcome &outcome, const QString &reason)
{
    outcome.status = RowStatus::FailedRename;
    outcome.error = RenameError::InvalidName;
    outcome.reason = reason;
}

// Decides what can be decided from the row's text alone. Returns true when
// the row still needs its rename carried out.
bool judgeRow(const NamingTableRow &row, RowOutcome &outcome)
{
    if (!row.folder || !row.currentName || !row.newName) {
        outcome.status = RowStatus::FailedUnreadableCell;
        outcome.reason = unreadableReason(row);
        return false;
    }
    if (row.newName->isEmpty()) {
        outcome.status = RowStatus::KeptEmptyNewName;
        return false;
    }
    if (*row.newName == *row.currentName) {
        outcome.status = RowStatus::UnchangedSameName;
        return false;
    }
    // A relative folder would resolve against wherever the program happens
    // to run, which is never what the table meant.
    if (!row.folder->startsWith(u'/')) {
        markInvalid(outcome, QStringLiteral("目录不是完整路径"));
        return false;
    }
    // The folder's last name would run straight into column C and name
    // another entry: "/t/2023" with "01.txt" is "/t/202301.txt".
    if (!row.folder->endsWith(u'/')) {
        markInvalid(outcome, QStringLiteral("目录必须以“/”结尾"));
        return false;
    }
    // A name with "/" would move the entry to another folder, and "." or ".."
    // would name the folder itself or its parent: neither is a rename.
    if (!isPlainName(*row.currentName)) {
        markInvalid(outcome, QStringLiteral("原文件名无效"));
        return false;
    }
    if (const std::optional<QString> problem = newNameProblem(*row.newName)) {
        markInvalid(outcome, *problem);
        return false;
    }
    return true;
}

} // namespace

QList<NamingTableRow> namingTableRows(const QList<QList<TableCell>> &cellsBtoD, qint64 firstRowNumber)
{
    QList<NamingTableRow> rows;
    rows.reserve(cellsBtoD.size());
    for (qsizetype i = 0; i < cellsBtoD.size(); ++i) {
        const QList<TableCell> &cells = cellsBtoD[i];
        const auto cell = [&cells](qsizetype column) { return column < cells.size() ? cells[column] : TableCell(); };
        rows.append({firstRowNumber + i, cell(0), cell(1), cell(2)});
    }
    return rows;
}

QList<RowOutcome> renameFromNamingTable(const QList<NamingTableRow> &rows)
{
    QList<RowOutcome> outcomes;
    outcomes.reserve(rows.size());
    std::vector<PendingRename> pending;
    for (const NamingTableRow &row : rows) {
        RowOutcome outcome;
        outcome.rowNumber = row.rowNumber;
        outcome.oldName = row.currentName.value_or(QString());
        outcome.newName = row.newName.value_or(QString());
        if (judgeRow(row, outcome)) {
            const QString currentPath = *row.folder + *row.currentName;
            pending.push_back({outcomes.size(), QDir::cleanPath(currentPath).count(u'/'), currentPath,
                               *row.folder + *row.newName});
        }
        outcomes.append(outcome);
    }

    std::stable_sort(pending.begin(), pending.end(),
                     [](const PendingRename &a, const PendingRename &b) { return a.depth > b.depth; });
    for (const PendingRename &rename : pending) {
        if (const std::optional<RenameFailure> failure = renameNoReplace(rename.currentPath, rename.newPath)) {
            RowOutcome &outcome = outcomes[rename.outcomeIndex];
            outcome.status = RowStatus::FailedRename;
            outcome.error = failure->error;
            outcome.reason = renameReason(*failure);
        }
    }
    return outcomes;
}

QStringList renamedFilesListEntries(const QList<NamingTableRow> &rows)
{
    QStringList entries;
    for (const NamingTableRow &row : rows) {
        if (row.newName)
            entries << *row.newName;
    }
    return entries;
}

QString processedCountText(qsizetype listedRows)
{
    return QStringLiteral("批量更名的文件数：") + QString::number(listedRows);
}

QString finalMessage(const QList<RowOutcome> &outcomes)
{
    QList<RowOutcome> failures;
    std::copy_if(outcomes.begin(), outcomes.end(), std::back_inserter(failures),
                 [](const RowOutcome &outcome) { return outcome.failed(); });
    if (failures.isEmpty())
        return QStringLiteral("OK,YOU MAKE IT!");

    QString message = QStringLiteral("有 %1 行未能更名：").arg(failures.size());
    for (const RowOutcome &failure : failures.first(std::min(failures.size(), listedFailuresLimit))) {
        // One multi-argument arg() so that a "%1" inside a file name is not
        // taken for a placeholder.
        message += QStringLiteral("\n第 %1 行：%2 → %3（%4）")
                       .arg(QString::number(failure.rowNumber), failure.oldName, failure.newName, failure.reason);
    }
    if (failures.size() > listedFailuresLimit)
        message += QStringLiteral("\n……另有 %1 行未列出。").arg(failures.size() - listedFailuresLimit);
    return message;
}
