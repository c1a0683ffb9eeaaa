#include "steps/batch_rename_report.h"

#include "sheet/naming_table_layout.h"
#include "steps/windows_name_texts.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

QString renameErrorText(const RowOutcome &outcome)
{
    switch (outcome.error()) {
    case RenameError::TargetExists:
        return QStringLiteral("新文件名已存在");
    case RenameError::SourceMissing:
        return QStringLiteral("原文件不存在");
    case RenameError::InvalidName:
        return QStringLiteral("文件名无效");
    case RenameError::PermissionDenied:
        return QStringLiteral("没有权限");
    case RenameError::CharacterRefused:
        return refusedCharacterText(outcome.refusedCharacter());
    case RenameError::NameTooLong:
        return QStringLiteral("新文件名太长，此文件系统不接受这么长的文件名");
    case RenameError::NotThePlannedEntry:
        return QStringLiteral("原文件在读取命名表后被替换或移动");
    case RenameError::NoSafeRename:
        return QStringLiteral("此文件系统无法保证更名时不覆盖已有的文件，为安全起见没有更名");
    case RenameError::Other:
        break;
    }
    return QStringLiteral("其他错误：") + outcome.systemText();
}

// The letters of the table's columns that hold `cells`, in order.
QStringList columnLetters(RowCells cells)
{
    QStringList letters;
    for (const auto &[cell, column] : {std::pair(RowCell::Folder, NamingTable::folderColumn),
                                       std::pair(RowCell::CurrentName, NamingTable::nameColumn),
                                       std::pair(RowCell::NewName, NamingTable::newNameColumn)}) {
        if (cells.testFlag(cell))
            letters << QString(QChar(u'A' + int(column) - 1));
    }
    return letters;
}

// "00AD", "E0001": a code point as "U+" is followed.
QString codePointText(char32_t code)
{
    return QString::number(code, 16).toUpper().rightJustified(4, u'0');
}

qint64 otherRowOf(const RowOutcome &outcome)
{
    const OtherRow *other = std::get_if<OtherRow>(&outcome.details);
    return other ? other->number : 0;
}

QString problemText(const RowOutcome &outcome)
{
    switch (outcome.problem) {
    case RowProblem::None:
        break;
    case RowProblem::UnreadableCells: {
        const RowCells *cells = std::get_if<RowCells>(&outcome.details);
        return QStringLiteral("%1 列的单元格无法读取")
            .arg(columnLetters(cells ? *cells : RowCells()).join(QStringLiteral("、")));
    }
    case RowProblem::FolderNotAbsolute:
        return QStringLiteral("目录不是完整路径");
    case RowProblem::FolderWithoutClosingSlash:
        return QStringLiteral("目录必须以“/”结尾");
    case RowProblem::CurrentNameInvalid:
        return QStringLiteral("原文件名无效");
    case RowProblem::CurrentNameReadsLikeUndecodableName:
        return QStringLiteral("文件夹中另有名称不是有效 UTF-8 编码、显示相同的文件，无法确定是哪一个");
    case RowProblem::NewNameInvalidUtf16:
        return QStringLiteral("新文件名含有无效的字符（不成对的 UTF-16 代理项）");
    case RowProblem::NewNameControlCharacter:
        return QStringLiteral("新文件名不能含控制字符（如换行、制表符）");
    case RowProblem::NewNameFormatCharacter:
        return QStringLiteral("新文件名含有看不见的格式字符 U+%1").arg(codePointText(outcome.formatCharacter()));
    case RowProblem::NewNameInvisibleCharacter:
        return QStringLiteral("新文件名含有看不见的字符 U+%1").arg(codePointText(outcome.formatCharacter()));
    case RowProblem::NewNameOnlyWhitespace:
        return QStringLiteral("新文件名不能只有空白");
    case RowProblem::NewNameNothingVisible:
        return QStringLiteral("新文件名中没有看得见的字符（如 U+%1）").arg(codePointText(outcome.formatCharacter()));
    case RowProblem::NewNameEdgeWhitespace:
        return QStringLiteral("新文件名首尾不能有空白");
    case RowProblem::NewNameNotPlain:
        return QStringLiteral("新文件名无效（不能含“/”，也不能是“.”或“..”）");
    case RowProblem::NewNameBreaksWindowsRule:
        return windowsNameProblemText(outcome.windowsNameProblem());
    case RowProblem::IsTableWorkbook:
        return QStringLiteral("这是命名表所在的工作簿，它可能仍在 LibreOffice 中打开；请关闭它后另行更名");
    case RowProblem::NewNameIsTableWorkbook:
        return QStringLiteral("新文件名是命名表所在的工作簿");
    case RowProblem::NewNameIsTableWorkbookFolder:
        return QStringLiteral("新文件名是命名表所在的文件夹（或其上级文件夹）");
    case RowProblem::SameEntryAsEarlierRow:
        return QStringLiteral("与第 %1 行是同一个原文件，只按第 %1 行更名").arg(otherRowOf(outcome));
    case RowProblem::EntryReplacedSinceListed:
        return QStringLiteral("原文件在第一步列出之后被替换（已不是列出的那个文件），为安全起见没有更名；请重新执行第一步");
    case RowProblem::CycleBrokenByOtherRow:
        return outcome.leftUnderTemporaryName.isEmpty()
                   ? QStringLiteral("与第 %1 行循环更名，第 %1 行未能更名，本行保持原名").arg(otherRowOf(outcome))
                   : QStringLiteral("与第 %1 行循环更名，第 %1 行未能更名").arg(otherRowOf(outcome));
    case RowProblem::RenameFailed:
        return renameErrorText(outcome);
    case RowProblem::CycleCouldNotStepAside:
        return QStringLiteral("交换或循环更名须先把此文件改为临时名，未能做到：") + renameErrorText(outcome);
    case RowProblem::StoppedBeforeRun:
        return QStringLiteral("已取消，没有更名");
    }
    return QString();
}

} // namespace

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

QString rowFailureReason(const RowOutcome &outcome)
{
    if (!outcome.failed())
        return QString();
    QString reason = problemText(outcome);
    if (!outcome.leftUnderTemporaryName.isEmpty())
        reason += QStringLiteral("；此文件暂时留在“%1”，请手动改名").arg(outcome.leftUnderTemporaryName);
    return reason;
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
                       .arg(QString::number(failure.rowNumber), failure.oldName, failure.newName, rowFailureReason(failure));
    }
    if (failures.size() > listedFailuresLimit)
        message += QStringLiteral("\n……另有 %1 行未列出。").arg(failures.size() - listedFailuresLimit);
    return message;
}

bool holdsNewNames(const QList<NamingTableRow> &rows)
{
    return std::any_of(rows.begin(), rows.end(), [](const NamingTableRow &row) { return !row.newName || !row.newName->isEmpty(); });
}

QString noNewNamesMessage()
{
    return QStringLiteral("命名表中没有新文件名，没有文件被更名。请在 D 列填写新文件名并保存。");
}

QString notANamingTableMessage(const QString &workbookPath)
{
    return QStringLiteral("这个工作簿的第一张工作表不是命名表（第 1 行应为：序号、目录、文件名、新文件名）：") + workbookPath;
}

QString unsavedChangesMessage()
{
    return QStringLiteral("命名表还有未保存的修改：请先在 LibreOffice 中保存（Ctrl+S），再按【3】");
}
