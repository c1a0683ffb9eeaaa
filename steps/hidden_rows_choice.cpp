#include "steps/hidden_rows_choice.h"

#include <algorithm>

namespace {

// A new name the same as the current one renames nothing and would only
// raise a question the user cannot answer usefully.
bool wouldRename(const NamingTableRow &row)
{
    return row.newName && !row.newName->isEmpty() && row.newName != row.currentName;
}

} // namespace

qsizetype hiddenRowsNamed(const QList<NamingTableRow> &rows)
{
    return std::count_if(rows.begin(), rows.end(), [](const NamingTableRow &row) { return row.hidden && wouldRename(row); });
}

std::optional<QString> hiddenRowsQuestion(const QList<NamingTableRow> &rows)
{
    const qsizetype hiddenNamed = hiddenRowsNamed(rows);
    if (hiddenNamed == 0)
        return std::nullopt;
    return QStringLiteral("命名表中有 %1 行被隐藏或筛选掉，它们也填写了新文件名。也更名这些行吗？").arg(hiddenNamed);
}

QList<NamingTableRow> rowsTheSheetShows(const QList<NamingTableRow> &rows)
{
    QList<NamingTableRow> shown;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(shown), [](const NamingTableRow &row) { return !row.hidden; });
    return shown;
}
