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

// The rows of one folder made for Windows, `rows` (indices into `renames`)
// in table order.
void judgeFolder(const QString &folder, const QList<qsizetype> &rows, const QList<PlannedRename> &renames,
                 QList<RowOutcome> &outcomes)
{
    QList<qsizetype> pending;
    for (const qsizetype index : rows) {
        const PlannedRename &rename = renames[index];
        RowOutcome &outcome = outcomes[rename.outcomeIndex];
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
            staying.remove(renames[index].currentName());
        QList<qsizetype> accepted;
        for (const qsizetype index : std::as_const(pending)) {
            RowOutcome &outcome = outcomes[renames[index].outcomeIndex];
            const WindowsNameProblem problem = windowsNameProblem(outcome.newName, staying.spellingsOf(outcome.newName));
            if (problem) {
                refuse(outcome, problem);
                staying.add(renames[index].currentName().toString());
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

void refuseNamesWindowsCannotUse(QList<PlannedRename> &renames, QList<RowOutcome> &outcomes)
{
    // Folders by their clean path, however rows spell them; each spelling,
    // which the renames' paths hold, is cleaned and each folder looked up
    // once. Only the rows of folders made for Windows are gathered.
    QHash<QStringView, QString> windowsFolderOf;
    QHash<QString, bool> madeForWindows;
    QHash<QString, QList<qsizetype>> renamesIn;
    FileSystemKinds kinds;
    for (qsizetype i = 0; i < renames.size(); ++i) {
        const QStringView spelling = std::as_const(renames)[i].folder();
        auto folder = windowsFolderOf.find(spelling);
        if (folder == windowsFolderOf.end()) {
            const QString clean = QDir::cleanPath(spelling.toString());
            auto kind = madeForWindows.find(clean);
            if (kind == madeForWindows.end()) {
                const std::optional<FileSystemKind> found = kinds.of(clean);
                kind = madeForWindows.insert(clean, found && isMadeForWindows(*found));
            }
            folder = windowsFolderOf.insert(spelling, *kind ? clean : QString());
        }
        if (!folder->isEmpty())
            renamesIn[*folder].append(i);
    }
    for (auto folder = renamesIn.cbegin(); folder != renamesIn.cend(); ++folder)
        judgeFolder(folder.key(), folder.value(), renames, outcomes);
    if (!renamesIn.isEmpty())
        renames.removeIf(
            [&outcomes](const PlannedRename &rename) { return outcomes[rename.outcomeIndex].failed(); });
}
