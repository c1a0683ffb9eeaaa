#include "steps/hidden_rows_choice.h"

#include <gtest/gtest.h>

namespace {

QList<NamingTableRow> table(const QList<QList<TableCell>> &cells, const QList<qint64> &hiddenRowNumbers)
{
    QList<NamingTableRow> rows = namingTableRows(cells, 2);
    for (NamingTableRow &row : rows)
        row.hidden = hiddenRowNumbers.contains(row.rowNumber);
    return rows;
}

QList<qint64> rowNumbers(const QList<NamingTableRow> &rows)
{
    QList<qint64> numbers;
    for (const NamingTableRow &row : rows)
        numbers << row.rowNumber;
    return numbers;
}

// Hidden rows that would not rename anything (no new name, the same name, a
// new name that cannot be read) are no reason to ask; such a table stays
// whole, the unreadable row failing with its reason as before.
TEST(HiddenRowsChoice, HiddenRowsThatRenameNothingAreNotAskedAbout)
{
    const QList<NamingTableRow> rows =
        table({{"/f/", "a", "x"}, {"/f/", "b", ""}, {"/f/", "c", "c"}, {"/f/", "d", std::nullopt}}, {3, 4, 5});
    int asked = 0;

    const QList<NamingTableRow> chosen = rowsChosenToRename(rows, [&](const QString &) { return ++asked, false; });

    EXPECT_EQ(asked, 0);
    EXPECT_EQ(rowNumbers(chosen), QList<qint64>({2, 3, 4, 5}));
}

// The count names only the hidden rows that would rename; 否 leaves out
// every hidden row, named or not, and keeps each shown row as it was.
TEST(HiddenRowsChoice, AsksOnceWithTheCountAndKeepsTheAnswer)
{
    const QList<NamingTableRow> rows = table(
        {{"/f/", "a", "x"}, {"/f/", "b", "y"}, {"/f/", "c", ""}, {"/f/", std::nullopt, "z"}, {"/f/", "e", "e2"}, {"/f/", "g", ""}},
        {3, 4, 5});
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer);
        QStringList questions;

        const QList<NamingTableRow> chosen = rowsChosenToRename(rows, [&](const QString &question) {
            questions << question;
            return answer;
        });

        EXPECT_EQ(questions, QStringList{"命名表中有 2 行被隐藏或筛选掉，它们也填写了新文件名。也更名这些行吗？"});
        EXPECT_EQ(rowNumbers(chosen), answer ? QList<qint64>({2, 3, 4, 5, 6, 7}) : QList<qint64>({2, 6, 7}));
        EXPECT_EQ(chosen.last().newName, "");
    }
}

} // namespace
