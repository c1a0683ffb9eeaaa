#include "steps/hidden_rows_choice.h"

#include <gtest/gtest.h>

namespace {

// Only hidden rows that would rename count: not one without a new name, with
// its current name, or with an unreadable one (it fails with its reason).
// 否 leaves out every hidden row, counted or not.
TEST(HiddenRowsChoice, CountsOnlyHiddenRowsThatWouldRename)
{
    QList<NamingTableRow> rows = namingTableRows(
        {{"/f/", "a", "x"}, {"/f/", "b", ""}, {"/f/", "c", "c"}, {"/f/", "d", std::nullopt}, {"/f/", "e", "y"}}, 2);
    for (const qsizetype hidden : {1, 2, 3})
        rows[hidden].hidden = true;
    EXPECT_EQ(hiddenRowsQuestion(rows), std::nullopt);

    rows[4].hidden = true;
    EXPECT_EQ(hiddenRowsQuestion(rows), "命名表中有 1 行被隐藏或筛选掉，它们也填写了新文件名。也更名这些行吗？");
    const QList<NamingTableRow> shown = rowsTheSheetShows(rows);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].rowNumber, 2);
}

} // namespace
