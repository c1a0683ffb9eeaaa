#include "rename/rename_plan.h"

#include "rename/listed_entries.h"
#include "rename/row_judgement.h"
#include "rename/undecodable_names.h"
#include "rename/windows_name_judgement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace {

// A name may hold this many bytes on the file systems we rename on.
constexpr qsizetype nameBytesLimit = 255;

// `folder` + `name` in a text of exactly their size: appended to a copy of
// the folder, it would be given room to grow, some 60% more for a path of
// 80 characters, and a plan holds two paths for each of up to a million rows.
QString joinedPath(const QString &folder, const QString &name)
{
    QString path;
    path.reserve(folder.size() + name.size());
    path.append(folder).append(name);
    return path;
}

// The longest beginning of `name` whose encoded form fits in `bytes`, cut
// between characters.
QString nameWithin(const QString &name, qsizetype bytes)
{
    qsizetype used = 0;
    qsizetype kept = 0;
    for (const char32_t c : name.toUcs4()) {
        used += QFile::encodeName(QString::fromUcs4(&c, 1)).size();
        if (used > bytes)
            break;
        kept += QChar::requiresSurrogates(c) ? 2 : 1;
    }
    return name.left(kept);
}

// What a temporary name leaves for the entry's own name after our prefix,
// eight hexadecimal digits and "-".
qsizetype temporaryNameRoom()
{
    return nameBytesLimit - QFile::encodeName(cycleTemporaryPrefix()).size() - 9;
}

// Two rows that give one entry two names contradict each other; only the
// first is followed.
void markSameEntryAsEarlierRow(RowOutcome &outcome, qint64 earlierRow)
{
    outcome.problem = RowProblem::SameEntryAsEarlierRow;
    outcome.details = OtherRow{earlierRow};
}

// Gives the entry a name in its own folder that no entry has now: our prefix,
// random letters and its own name, so that whoever finds it left behind can
// tell what it was. Should another entry take the name before the cycle runs,
// the no-replace rename refuses it and the cycle is not begun.
// Eight random hexadecimal digits are all but never taken; a few draws more
// get past names an earlier run may have left behind.
constexpr int temporaryNameDraws = 4;

QString temporaryPathFor(const PlannedRename &rename)
{
    QString temporaryPath;
    for (int draw = 0; draw < temporaryNameDraws; ++draw) {
        const QString letters = QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, u'0');
        temporaryPath = rename.folder().toString() + cycleTemporaryPrefix() + letters + u'-' +
                        nameWithin(rename.currentName().toString(), temporaryNameRoom());
        if (!entryStatusOf(temporaryPath))
            break;
    }
    return temporaryPath;
}

// Below this many renames in one folder, each entry is looked up on its own;
// from it on, the folder is read once, as its listing holds every inode.
constexpr qsizetype renamesWorthReadingTheFolder = 16;

void lookUpEach(QList<PlannedRename> &renames, const QList<qsizetype> &indices)
{
    for (const qsizetype index : indices) {
        if (const std::optional<EntryStatus> entry = entryStatusOf(renames[index].currentPath))
            renames[index].entry = entry->id;
    }
}


// Sets each rename's entry, or leaves it all zero when the entry cannot be
// found. A look-up per entry costs a system call, a fifth of what the renames
// themselves cost; a folder's listing gives the inodes of hundreds of entries
// a call.
void identifyEntries(QList<PlannedRename> &renames)
{
    // The folders are views into the renames' paths, which stay as they are.
    QHash<QStringView, QList<qsizetype>> renamesIn;
    for (qsizetype i = 0; i < renames.size(); ++i)
        renamesIn[std::as_const(renames)[i].folder()].append(i);
    for (auto folder = renamesIn.cbegin(); folder != renamesIn.cend(); ++folder) {
        const std::optional<FolderInodes> listing =
            folder->size() >= renamesWorthReadingTheFolder ? folderInodes(folder.key().toString()) : std::nullopt;
        // Some file systems (certain network and FUSE ones) list inode
        // numbers of their own; one entry looked up tells.
        const PlannedRename &sample = renames[folder->front()];
        const std::optional<EntryStatus> sampled = listing ? entryStatusOf(sample.currentPath) : std::nullopt;
        if (!listing || (sampled && sampled->id != listing->idOf(sample.currentName().toString()))) {
            lookUpEach(renames, *folder);
            continue;
        }
        for (const qsizetype index : *folder)
            renames[index].entry = listing->idOf(renames[index].currentName().toString());
    }
}

// Judges each row from its text, giving every row its outcome and each row
// that passes its rename, the entry not yet looked up.
void judgeRows(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath, RenamePlan &plan)
{
    const TableWorkbook tableWorkbook(tableWorkbookPath);
    UndecodableNames undecodableNames;
    QList<RowOutcome> &outcomes = plan.outcomes;
    outcomes.reserve(rows.size());
    plan.renames.reserve(rows.size());
    // Some tens of megabytes at a million rows: gone before the entries are
    // looked up and the renames ordered.
    QHash<QString, qint64> firstRowOf;
    for (const NamingTableRow &row : rows) {
        RowOutcome outcome;
        outcome.rowNumber = row.rowNumber;
        outcome.oldName = row.currentName.value_or(QString());
        outcome.newName = row.newName.value_or(QString());
        if (judgeRowText(row, outcome) && tableWorkbook.judgeRow(row, outcome) && undecodableNames.judgeRow(row, outcome)) {
            const QString currentPath = joinedPath(*row.folder, *row.currentName);
            if (const auto first = firstRowOf.constFind(pathKey(currentPath)); first != firstRowOf.cend()) {
                markSameEntryAsEarlierRow(outcome, *first);
            } else {
                firstRowOf.insert(pathKey(currentPath), row.rowNumber);
                plan.renames.append(
                    {outcomes.size(), row.folder->size(), currentPath, joinedPath(*row.folder, *row.newName), EntryId()});
            }
        }
        outcomes.append(outcome);
    }
}

// A row renames the entry the user saw listed, never one put at its name
// since: that one may be another person's file, or a drawing saved anew.
void refuseEntriesReplacedSinceListed(RenamePlan &plan, const ListedEntries &listed)
{
    plan.renames.removeIf([&](const PlannedRename &rename) {
        if (rename.entry == EntryId() || !listed.replacedSince(rename.folder(), rename.currentName(), rename.entry))
            return false;
        plan.outcomes[rename.outcomeIndex].problem = RowProblem::EntryReplacedSinceListed;
        return true;
    });
}

// Orders the renames that passed their judgement into units, so that a row whose
// new path is held by an entry another row moves away runs after that row.
class RenamePlanner {
public:
    explicit RenamePlanner(RenamePlan &planned) : plan(planned), done(planned.renames.size(), false) {}

    // Orders every pending rename; see planNamingTableRenames for the order.
    void planAll();

private:
    void findHoldersUnderOtherSpellings();
    bool isListed(const PlannedRename &rename, QStringView path);
    bool reachesEntry(const QString &path, const PlannedRename &moved);
    void planFrom(qsizetype start);
    void planCycle(std::vector<qsizetype> cycle);

    RenamePlan &plan;
    // The index of the rename that moves away the entry now at a rename's
    // new path, or -1 when no pending rename does.
    std::vector<qsizetype> holders;
    // Renames whose new path is another spelling of their own entry's path.
    std::vector<bool> ownEntryUnderOtherSpelling;
    // The listings of the folders where a new path is another spelling of
    // a path moved away; views into the renames' paths.
    QHash<QStringView, std::optional<FolderInodes>> listings;
    std::vector<bool> done;
};

// Whether the folder of `path` lists an entry under exactly its name; each
// folder is read once.
bool RenamePlanner::isListed(const PlannedRename &rename, QStringView path)
{
    auto listing = listings.find(rename.folder());
    if (listing == listings.end())
        listing = listings.insert(rename.folder(), folderInodes(rename.folder().toString()));
    return *listing && (*listing)->idOf(path.sliced(rename.nameStart).toString()) != EntryId();
}

// Whether `path`, which differs in letter case only from the current path of
// `moved` (in the same folder), reaches the entry `moved` moves away: a file
// system that ignores letter case takes both for one. Most tell it by giving
// both the same inode; FUSE drivers number each spelling looked up apart, and
// there the folder lists the entry under its current name and nothing under
// the other spelling, which still reaches an entry.
bool RenamePlanner::reachesEntry(const QString &path, const PlannedRename &moved)
{
    if (moved.entry == EntryId())
        return false;
    const std::optional<EntryStatus> found = entryStatusOf(path);
    if (!found)
        return false;
    if (found->id == moved.entry)
        return true;
    return found->id.device == moved.entry.device && isListed(moved, moved.currentPath) && !isListed(moved, path);
}

// A key for `name` in the folder of `rename`, the same for names that differ
// only in letter case; computed without copying the name, as a plan may hold
// a million. Characters beyond the BMP count as they are.
size_t caseFoldedKey(const PlannedRename &rename, QStringView name)
{
    size_t key = qHash(rename.folder());
    for (const QChar c : name)
        key = key * 31 + QChar::toCaseFolded(c.unicode());
    return key;
}

void RenamePlanner::findHoldersUnderOtherSpellings()
{
    const QList<PlannedRename> &pending = plan.renames;
    ownEntryUnderOtherSpelling.assign(pending.size(), false);
    // The keys of the names of the entries moved away, sorted, beside their
    // renames: sixteen bytes a rename.
    std::vector<std::pair<size_t, qsizetype>> moverByFoldedName;
    moverByFoldedName.reserve(pending.size());
    for (qsizetype i = 0; i < pending.size(); ++i)
        moverByFoldedName.emplace_back(caseFoldedKey(pending[i], pending[i].currentName()), i);
    std::sort(moverByFoldedName.begin(), moverByFoldedName.end());
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if (holders[i] >= 0)
            continue;
        const PlannedRename &rename = pending[i];
        const QStringView newName = QStringView(rename.newPath).sliced(rename.nameStart);
        const size_t key = caseFoldedKey(rename, newName);
        auto mover = std::lower_bound(moverByFoldedName.begin(), moverByFoldedName.end(), std::pair(key, qsizetype(0)));
        for (; mover != moverByFoldedName.end() && mover->first == key; ++mover) {
            const PlannedRename &moved = pending[mover->second];
            if (moved.folder() != rename.folder() || moved.currentName().compare(newName, Qt::CaseInsensitive) != 0 ||
                !reachesEntry(rename.newPath, moved))
                continue;
            if (mover->second == i)
                ownEntryUnderOtherSpelling[i] = true;
            else
                holders[i] = mover->second;
            break;
        }
    }
}

void RenamePlanner::planAll()
{
    const QList<PlannedRename> &pending = plan.renames;
    plan.order.reserve(pending.size());
    {
        // Some tens of megabytes at a million rows: gone before the next.
        QHash<QString, qsizetype> moverOf;
        for (qsizetype i = 0; i < pending.size(); ++i)
            moverOf.insert(pathKey(pending[i].currentPath), i);
        for (const PlannedRename &rename : pending)
            holders.push_back(moverOf.value(pathKey(rename.newPath), -1));
    }
    findHoldersUnderOtherSpellings();

    // Deepest first, so that a folder's row cannot strand the rows of the
    // entries inside it. A row only ever waits for a row of its own folder,
    // which has the same depth.
    std::vector<qsizetype> order(pending.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<qsizetype> depths;
    for (const PlannedRename &rename : pending)
        depths.push_back(pathKey(rename.currentPath).count(u'/'));
    std::stable_sort(order.begin(), order.end(), [&depths](qsizetype a, qsizetype b) { return depths[a] > depths[b]; });
    for (const qsizetype index : order) {
        if (!done[index])
            planFrom(index);
    }
}

// Follows the holders of each new path from `start` to the free end of the
// chain (a path no pending row holds, or a row already run) and runs the
// chain from there back to `start`. A chain that runs into itself ends in a
// cycle, which runs first as a whole.
void RenamePlanner::planFrom(qsizetype start)
{
    std::vector<qsizetype> chain;
    QHash<qsizetype, qsizetype> placeInChain;
    qsizetype next = start;
    while (next >= 0 && !done[next] && !placeInChain.contains(next)) {
        placeInChain.insert(next, qsizetype(chain.size()));
        chain.push_back(next);
        next = holders[next];
    }
    if (next >= 0 && placeInChain.contains(next)) {
        const qsizetype cycleStart = placeInChain.value(next);
        planCycle({chain.begin() + cycleStart, chain.end()});
        chain.resize(cycleStart);
    }
    for (auto index = chain.rbegin(); index != chain.rend(); ++index) {
        done[*index] = true;
        if (ownEntryUnderOtherSpelling[*index])
            plan.cycles.append({plan.order.size(), 1, temporaryPathFor(plan.renames[*index])});
        plan.order.append(*index);
    }
}

// `cycle[i]` waits for `cycle[i + 1]`, the last one for the first. One entry
// steps aside to a temporary name, the others follow one another into the
// names freed, and the one aside takes the last name freed.
void RenamePlanner::planCycle(std::vector<qsizetype> cycle)
{
    const QList<PlannedRename> &pending = plan.renames;
    for (const qsizetype index : cycle)
        done[index] = true;
    // The entry with the shortest name steps aside: its temporary name is the
    // least likely to pass the file system's limit on a name's length.
    const auto nameSize = [&pending](qsizetype index) {
        return std::pair(QFile::encodeName(pending[index].currentName().toString()).size(), pending[index].outcomeIndex);
    };
    std::rotate(cycle.begin(),
                std::min_element(cycle.begin(), cycle.end(),
                                 [&nameSize](qsizetype a, qsizetype b) { return nameSize(a) < nameSize(b); }),
                cycle.end());
    // The aside entry first, then the others from the one whose new name the
    // aside entry frees.
    plan.cycles.append({plan.order.size(), qsizetype(cycle.size()), temporaryPathFor(pending[cycle.front()])});
    plan.order.append(cycle.front());
    for (auto index = cycle.rbegin(); index != cycle.rend() - 1; ++index)
        plan.order.append(*index);
}

} // namespace

QString pathKey(const QString &path)
{
    QString cleaned = QDir::cleanPath(path);
    return cleaned == path ? path : cleaned;
}

QString cycleTemporaryPrefix()
{
    return QStringLiteral(".quillmere-swap-");
}

RenamePlan planNamingTableRenames(const QList<NamingTableRow> &rows, const QString &tableWorkbookPath,
                                  const ListedEntries *listed)
{
    RenamePlan plan;
    judgeRows(rows, tableWorkbookPath, plan);
    refuseNamesWindowsCannotUse(plan.renames, plan.outcomes);
    identifyEntries(plan.renames);
    if (listed)
        refuseEntriesReplacedSinceListed(plan, *listed);
    RenamePlanner(plan).planAll();
    return plan;
}

RenamePlan planRestoringRenames(const QList<RestoringRename> &renames)
{
    RenamePlan plan;
    plan.outcomes.reserve(renames.size());
    plan.renames.reserve(renames.size());
    for (const RestoringRename &rename : renames) {
        RowOutcome outcome;
        outcome.rowNumber = plan.outcomes.size();
        outcome.oldName = rename.currentName;
        outcome.newName = rename.newName;
        plan.renames.append({plan.outcomes.size(), rename.folder.size(), joinedPath(rename.folder, rename.currentName),
                             joinedPath(rename.folder, rename.newName), rename.entry});
        plan.outcomes.append(outcome);
    }
    RenamePlanner(plan).planAll();
    return plan;
}

qsizetype plannedStepCount(const RenamePlan &plan)
{
    return plan.order.size() + plan.cycles.size();
}
