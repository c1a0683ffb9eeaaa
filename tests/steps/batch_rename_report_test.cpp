#include "steps/batch_rename_report.h"

#include <gtest/gtest.h>

namespace {

TEST(BatchRenameReport, ListsNewNamesAndCountsRowsFromTheReadBlock)
{
    const QList<NamingTableRow> rows = namingTableRows({{"/f/", "a", "x"}, {"/f/", "b", ""}, {"/f/", "c"}, {"/f/", "d", "z"}}, 2);

    EXPECT_EQ(rows[2].rowNumber, 4);
    EXPECT_FALSE(rows[2].newName.has_value());
    const QStringList entries = renamedFilesListEntries(rows);
    EXPECT_EQ(entries, QStringList({"x", "", "z"}));
    EXPECT_EQ(processedCountText(entries.size()), "批量更名的文件数：3");
}

TEST(BatchRenameReport, FinalMessageNamesTheFirstTwentyFailures)
{
    QList<RowOutcome> outcomes(3);
    for (RowOutcome &outcome : outcomes)
        outcome.oldName = "a";
    outcomes[0].newName = "b";
    outcomes[2].newName = "a";
    EXPECT_EQ(QList<RowStatus>({outcomes[0].status(), outcomes[1].status(), outcomes[2].status()}),
              QList<RowStatus>({RowStatus::Renamed, RowStatus::KeptEmptyNewName, RowStatus::UnchangedSameName}));
    EXPECT_EQ(finalMessage(outcomes), "OK,YOU MAKE IT!");

    for (qint64 number = 5; number < 30; ++number) {
        RowOutcome taken;
        taken.rowNumber = number;
        taken.oldName = "%1旧";
        taken.newName = "新";
        taken.problem = RowProblem::RenameFailed;
        taken.details = RenameFailure{RenameError::TargetExists, {}};
        outcomes << taken;
    }
    const QString message = finalMessage(outcomes);

    EXPECT_TRUE(message.startsWith("有 25 行未能更名")) << message.toStdString();
    EXPECT_TRUE(message.contains("\n第 5 行：%1旧 → 新（新文件名已存在）"));
    EXPECT_TRUE(message.contains("第 24 行"));
    EXPECT_FALSE(message.contains("第 25 行"));
    EXPECT_TRUE(message.contains("另有 5 行"));
}

RowOutcome failedRow(RowStatus status, RowProblem problem, RowProblemDetails details = {})
{
    RowOutcome outcome;
    outcome.problem = problem;
    outcome.details = std::move(details);
    EXPECT_EQ(outcome.status(), status);
    return outcome;
}

// The reasons that carry details of their own: each detail must reach the
// user, and a system text never stands without our words before it.
TEST(BatchRenameReport, ReasonsCarryTheirDetails)
{
    const RowOutcome unreadable = failedRow(RowStatus::FailedUnreadableCell, RowProblem::UnreadableCells,
                                            RowCells(RowCell::NewName) | RowCell::Folder);
    EXPECT_EQ(rowFailureReason(unreadable), "B、D 列的单元格无法读取");

    RowOutcome hidden = failedRow(RowStatus::FailedRename, RowProblem::NewNameFormatCharacter, FormatCharacter{0xE0001});
    EXPECT_EQ(rowFailureReason(hidden), "新文件名含有看不见的格式字符 U+E0001");
    hidden.details = FormatCharacter{0xAD};
    EXPECT_TRUE(rowFailureReason(hidden).endsWith("U+00AD"));
    hidden.problem = RowProblem::NewNameInvisibleCharacter;
    hidden.details = FormatCharacter{0x34F};
    EXPECT_EQ(rowFailureReason(hidden), "新文件名含有看不见的字符 U+034F");
    hidden.problem = RowProblem::NewNameNothingVisible;
    hidden.details = FormatCharacter{0x2800};
    EXPECT_EQ(rowFailureReason(hidden), "新文件名中没有看得见的字符（如 U+2800）");

    const RowOutcome other = failedRow(RowStatus::FailedRename, RowProblem::RenameFailed,
                                       RenameFailure{RenameError::Other, "Input/output error"});
    EXPECT_EQ(rowFailureReason(other), "其他错误：Input/output error");
    const RowOutcome replaced = failedRow(RowStatus::FailedRename, RowProblem::RenameFailed,
                                          RenameFailure{RenameError::NotThePlannedEntry, {}});
    EXPECT_EQ(rowFailureReason(replaced), "原文件在读取命名表后被替换或移动");

    const RowOutcome aside = failedRow(RowStatus::FailedRename, RowProblem::CycleCouldNotStepAside,
                                       RenameFailure{RenameError::PermissionDenied, {}});
    EXPECT_EQ(rowFailureReason(aside), "交换或循环更名须先把此文件改为临时名，未能做到：没有权限");

    RowOutcome kept = failedRow(RowStatus::FailedByOtherRow, RowProblem::CycleBrokenByOtherRow, OtherRow{9});
    EXPECT_EQ(rowFailureReason(kept), "与第 9 行循环更名，第 9 行未能更名，本行保持原名");
    kept.leftUnderTemporaryName = ".quillmere-swap-0badcafe-a";
    EXPECT_EQ(rowFailureReason(kept), "与第 9 行循环更名，第 9 行未能更名；此文件暂时留在“.quillmere-swap-0badcafe-a”，请手动改名");

    WindowsNameProblem clash;
    clash.rule = WindowsNameRule::DiffersOnlyInCase;
    clash.name = "KEEP.TXT";
    EXPECT_EQ(rowFailureReason(failedRow(RowStatus::FailedRename, RowProblem::NewNameBreaksWindowsRule, clash)),
              "与同一文件夹中的 KEEP.TXT 只有大小写不同，Windows 无法区分");
    const RowOutcome refused = failedRow(RowStatus::FailedRename, RowProblem::RenameFailed,
                                         RenameFailure{RenameError::CharacterRefused, {}, U'?'});
    EXPECT_EQ(rowFailureReason(refused), "此文件系统不接受文件名中的字符 ?（U+003F）");
    EXPECT_EQ(rowFailureReason(failedRow(RowStatus::FailedTableWorkbook, RowProblem::NewNameIsTableWorkbookFolder)),
              "新文件名是命名表所在的文件夹（或其上级文件夹）");

    EXPECT_EQ(rowFailureReason(RowOutcome{}), "");
}

} // namespace
