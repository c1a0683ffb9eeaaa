#include "rename/windows_name_judgement.h"

#include "rename/file_system_kind.h"
#include "rename/windows_name_rules.h"

#include <QDir>
#include <QHash>
#include <QMultiHash>

namespace {

// The names of a folder as Windows tells them apart: letter case aside.
class FolderNames {
public:
    void add(const QString &name) { names.insert(name.toCaseFolded(), name); }
    // A folder made for Windows holds one entry per name, whatever its case.
    void remove(QStringView name) { names.remove(name.toString().toCaseFolded()); }
    QStringList spellingsOf(const QString &name) const { return names.values(name.toCaseFolded()); }

private:
    QMultiHash<QString, QString> names;
};

void refuse(RowOutcome &outcome, const WindowsNameProblem &problem)
{
    outcome.problem = RowProblem::NewNameBreaksWindowsRule;
    outcome.details = problem;
}

// The rows of one folder made for Windows, `renames` in table order.
void judgeFolder(const QString &folder, const QList<qsizetype> &renames, RenamePlan &plan)
{
    QList<qsizetype> pending;
    for (const qsizetype index : renames) {
        const PlannedRename &rename = plan.renames[index];
        RowOutcome &outcome = plan.outcomes[rename.outcomeIndex];
        if (const WindowsNameProblem problem = windowsNameProblem(outcome.newName))
            refuse(outcome, problem);
        else
            pending.append(index);
    }
    if (pending.isEmpty())
        return;
    const QStringList listing =
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    // A row refused keeps its entry's name in the folder, which may clash
    // with a row judged before it; so the rows are judged again until none
    // more is refused.
    for (bool refusedOne = true; refusedOne;) {
        refusedOne = false;
        FolderNames staying;
        for (const QString &name : listing)
            staying.add(name);
        for (const qsizetype index : std::as_const(pending))
            staying.remove(plan.renames[index].currentName());
        QList<qsizetype> accepted;
        for (const qsizetype index : std::as_const(pending)) {
            RowOutcome &outcome = plan.outcomes[plan.renames[index].outcomeIndex];
            if (const WindowsNameProblem problem = windowsNameProblem(outcome.newName, staying.spellingsOf(outcome.newName))) {
                refuse(outcome, problem);
                staying.add(plan.renames[index].currentName().toString());
                refusedOne = true;
            } else {
                staying.add(outcome.newName);
                accepted.append(index);
            }
        }
        pending = accepted;
    }
}

} // namespace

void refuseNamesWindowsCannotUse(RenamePlan &plan)
{
    // Folders by their clean path, however rows spell them; the spellings,
    // which the renames' paths hold, are cleaned once each.
    QHash<QStringView, QString> cleanFolderOf;
    QHash<QString, QList<qsizetype>> renamesIn;
    for (qsizetype i = 0; i < plan.renames.size(); ++i) {
        const QStringView spelling = std::as_const(plan.renames)[i].folder();
        auto clean = cleanFolderOf.find(spelling);
        if (clean == cleanFolderOf.end())
            clean = cleanFolderOf.insert(spelling, QDir::cleanPath(spelling.toString()));
        renamesIn[*clean].append(i);
    }
    bool anyJudged = false;
    for (auto folder = renamesIn.cbegin(); folder != renamesIn.cend(); ++folder) {
        const std::optional<FileSystemKind> kind = fileSystemKindOf(folder.key());
        if (!kind || !isMadeForWindows(*kind))
            continue;
        judgeFolder(folder.key(), folder.value(), plan);
        anyJudged = true;
    }
    if (anyJudged)
        plan.renames.removeIf(
            [&plan](const PlannedRename &rename) { return plan.outcomes[rename.outcomeIndex].failed(); });
}
