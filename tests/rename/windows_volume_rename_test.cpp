#include "rename/rename_plan.h"
#include "rename/run_restore.h"
#include "tests/common/fuse_mount.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/windows_volume.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace {

// Where a run renames: a volume made for Windows, or a Linux file system.
enum class Place { ExFat, Fat32, Ntfs, Memory, Disk };

struct PlaceCase {
    Place place;
    const char *name;
    bool madeForWindows() const { return place == Place::ExFat || place == Place::Fat32 || place == Place::Ntfs; }
    friend void PrintTo(const PlaceCase &place, std::ostream *out) { *out << place.name; }
};

class RenameOnEachFileSystem : public testing::TestWithParam<PlaceCase> {
protected:
    void SetUp() override
    {
        switch (GetParam().place) {
        case Place::ExFat: volume = std::make_unique<WindowsVolume>(WindowsVolumeFormat::ExFat); break;
        case Place::Fat32: volume = std::make_unique<WindowsVolume>(WindowsVolumeFormat::Fat32); break;
        case Place::Ntfs: volume = std::make_unique<WindowsVolume>(WindowsVolumeFormat::Ntfs); break;
        case Place::Memory: parent = QStringLiteral("/dev/shm"); break;
        case Place::Disk: parent = QStringLiteral("/var/tmp"); break;
        }
        if (volume) {
            if (!volume->isMounted())
                GTEST_SKIP() << "volume not available: " << volume->whyNotMounted().toStdString();
            parent = volume->mountPoint();
        }
        tree = std::make_unique<TempTree>(parent);
        ASSERT_FALSE(tree->root().isEmpty());
    }
    void TearDown() override { tree.reset(); }

    // "old>new" rows of the tree's top folder, numbered from 2.
    QList<NamingTableRow> rows(const QStringList &texts) const
    {
        QList<NamingTableRow> table;
        for (const QString &text : texts)
            table.append({table.size() + 2, tree->root() + u'/', text.section(u'>', 0, 0), text.section(u'>', 1)});
        return table;
    }

    QString parent;
    std::unique_ptr<WindowsVolume> volume;
    std::unique_ptr<TempTree> tree;
};

// Each Windows rule on a volume made for Windows, and none of them on a Linux
// file system, in one run: a row refused keeps its entry's name, which a later
// row's new name may then clash with.
TEST_P(RenameOnEachFileSystem, WindowsNameRulesApplyOnlyOnWindowsFileSystems)
{
    using enum WindowsNameRule;
    struct RuleRow {
        const char *row;
        WindowsNameRule rule;
        const char *reported = "";
    };
    const RuleRow table[] = {
        {"a.txt>k?.txt", ForbiddenCharacter},
        {"b.txt>x:y.txt", ForbiddenCharacter},
        {"c.txt>report.", TrailingDotOrSpace},
        {"d.txt>con.txt", ReservedName, "con"},
        {"i.txt>conin$.txt", ReservedName, "conin$"},
        {"j.txt>Lpt0", ReservedName, "Lpt0"},
        {"e.txt>STAY.TXT", DiffersOnlyInCase, "stay.txt"},
        {"f.txt>Fine.txt", None},
        {"g.txt>FINE.TXT", DiffersOnlyInCase, "Fine.txt"},
        // keep.txt moves away, so its old name is free in any case.
        {"keep.txt>kept.txt", None},
        {"h.txt>Keep.Txt", None},
        {"dir>d|r", ForbiddenCharacter},
    };
    tree->makeFile("stay.txt", "stay");
    QStringList texts;
    for (const RuleRow &rule : table) {
        const QString from = QString::fromUtf8(rule.row).section(u'>', 0, 0);
        from.endsWith(u".txt") ? tree->makeFile(from, from.toUtf8()) : tree->makeFolder(from);
        texts << QString::fromUtf8(rule.row);
    }

    const QList<RowOutcome> outcomes = carryOutNamingTable(rows(texts));

    ASSERT_EQ(outcomes.size(), qsizetype(std::size(table)));
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE(table[i].row);
        const bool refused = GetParam().madeForWindows() && table[i].rule != None;
        EXPECT_EQ(outcomes[i].status(), refused ? RowStatus::FailedRename : RowStatus::Renamed);
        EXPECT_EQ(outcomes[i].windowsNameProblem().rule, refused ? table[i].rule : None);
        if (refused && table[i].rule != ForbiddenCharacter) {
            EXPECT_EQ(outcomes[i].windowsNameProblem().name, QString::fromUtf8(table[i].reported));
        }
        const QString name = outcomes[i].status() == RowStatus::Renamed ? outcomes[i].newName : outcomes[i].oldName;
        EXPECT_TRUE(QFileInfo::exists(tree->path(name))) << name.toStdString();
    }
    EXPECT_EQ(outcomes[0].windowsNameProblem().character, GetParam().madeForWindows() ? U'?' : 0);
    EXPECT_EQ(folderListing(tree->root()).size(), qsizetype(std::size(table)) + 1);
}

// A name the file system will not take fails naming the character, and the
// entry stays where it was (FAT's driver deletes a file renamed plainly to
// such a name). Names too long say so.
TEST_P(RenameOnEachFileSystem, RefusedNamesSayWhyAndLoseNothing)
{
    struct Refusal {
        const char *from;
        const char *to;
        // What exFAT and FAT refuse; 0 where the name is taken.
        char32_t onExFat;
        char32_t onFat;
    };
    // fusefat keeps names to ASCII, and says EPERM as it would of a file it
    // may not touch.
    const Refusal refusals[] = {
        {"q.txt", "k?.txt", U'?', U'?'},
        {"sub", "s*b", U'*', U'*'},
        {"r.txt", "图纸.txt", 0, U'图'},
        {"t.txt", "del\x7f.txt", 0, U'\x7f'},
        {"cn", "目录", 0, U'目'},
    };
    QStringList before;
    QStringList after;
    for (const Refusal &refusal : refusals) {
        const QString from = QString::fromUtf8(refusal.from);
        const QString to = QString::fromUtf8(refusal.to);
        const bool file = from.endsWith(u".txt");
        file ? tree->makeFile(from, refusal.from) : tree->makeFolder(from);
        const char32_t refused = GetParam().place == Place::ExFat ? refusal.onExFat
                                 : GetParam().place == Place::Fat32 ? refusal.onFat
                                                                     : 0;
        before << (file ? from + u'=' + from : from + u'/');
        after << (refused ? before.last() : file ? to + u'=' + from : to + u'/');
        SCOPED_TRACE(to.toStdString());
        const RenameResult renamed = renameNoReplace(tree->path(from), tree->path(to));
        if (refused) {
            ASSERT_FALSE(renamed.ok());
            EXPECT_EQ(renamed.error().error, RenameError::CharacterRefused);
            EXPECT_EQ(renamed.error().refusedCharacter, refused);
        } else {
            EXPECT_TRUE(renamed.ok());
        }
    }
    QStringList listed = folderListing(tree->root());
    listed.sort();
    after.sort();
    EXPECT_EQ(listed, after);

    // 300 units are too many everywhere; 200 Chinese characters are 600
    // bytes, too many for Linux, but 200 units fit where Windows counts.
    tree->makeFile("long.txt", "L");
    const QString tooMany(300, u'x');
    const QString wide(200, u'名');
    const QList<RowOutcome> outcomes = carryOutNamingTable(rows({"long.txt>" + tooMany, "long.txt>" + wide}));
    if (GetParam().madeForWindows()) {
        EXPECT_EQ(outcomes[0].windowsNameProblem().rule, WindowsNameRule::TooLong);
        EXPECT_EQ(outcomes[1].status(), RowStatus::FailedByOtherRow);
        // fusefat keeps to 255 bytes all the same, and says so in its way.
        const RowOutcome fits = carryOutNamingTable(rows({"long.txt>" + wide}))[0];
        if (GetParam().place == Place::Fat32) {
            EXPECT_EQ(fits.error(), RenameError::NameTooLong);
        } else {
            EXPECT_EQ(fits.status(), RowStatus::Renamed);
        }
    } else {
        EXPECT_EQ(outcomes[0].error(), RenameError::NameTooLong);
        EXPECT_EQ(carryOutNamingTable(rows({"long.txt>" + wide}))[0].error(), RenameError::NameTooLong);
    }
}

struct CaseRun {
    const char *title;
    QStringList files;
    QStringList rows;
    // After the run, on a file system that ignores letter case (exFAT,
    // FAT) and on one that does not (NTFS as ntfs-3g mounts it, Linux).
    QList<RowStatus> statusesIgnoringCase;
    QList<RowStatus> statusesWithCase;
    QStringList after;
    // fusefat loses the contents of a folder it renames, so no folder is
    // renamed there: it keeps its name and everything in it.
    bool folderOnFusefat = false;
};

// Changes of letter case alone, for files and folders, also in a swap and a
// chain with other renames: done on every file system, and undone again.
TEST_P(RenameOnEachFileSystem, LetterCaseRenamesAndTheirUndo)
{
    constexpr RowStatus renamed = RowStatus::Renamed;
    const CaseRun runs[] = {
        {"file", {"report.DOC"}, {"report.DOC>report.doc"}, {renamed}, {renamed}, {"report.doc=report.DOC"}},
        {"folder", {"Sub/x"}, {"Sub>SUB"}, {renamed}, {renamed}, {"SUB/", "SUB/x=Sub/x"}, true},
        {"swapByCase", {"a.txt", "b.txt"}, {"a.txt>B.TXT", "b.txt>A.TXT"}, {renamed, renamed}, {renamed, renamed},
         {"A.TXT=b.txt", "B.TXT=a.txt"}},
        // The second row's new name reaches the entry the first moves away.
        {"chainThroughAnotherSpelling", {"A2.txt", "b2.txt"}, {"b2.txt>a2.txt", "A2.txt>x2.txt"}, {renamed, renamed},
         {renamed, renamed}, {"a2.txt=b2.txt", "x2.txt=A2.txt"}},
    };
    for (const CaseRun &run : runs) {
        SCOPED_TRACE(run.title);
        const TempTree caseTree(tree->root());
        for (const QString &file : run.files)
            caseTree.makeFile(file, file.toUtf8());
        QList<NamingTableRow> table;
        for (const QString &text : run.rows)
            table.append({table.size() + 2, caseTree.root() + u'/', text.section(u'>', 0, 0), text.section(u'>', 1)});
        const QStringList before = treeListing(caseTree.root());
        const QTemporaryDir records;

        const RecordedRunResult done =
            carryOutRecorded(planNamingTableRenames(table), records.path(), RunKind::Step3, QString(), "/t/names.xls");

        if (run.folderOnFusefat && GetParam().place == Place::Fat32) {
            EXPECT_EQ(done.outcomes[0].error(), RenameError::NoSafeRename);
            EXPECT_EQ(treeListing(caseTree.root()), before);
            continue;
        }
        const bool ignoresCase = GetParam().place == Place::ExFat || GetParam().place == Place::Fat32;
        QList<RowStatus> statuses;
        for (const RowOutcome &outcome : done.outcomes)
            statuses << outcome.status();
        EXPECT_EQ(statuses, ignoresCase ? run.statusesIgnoringCase : run.statusesWithCase);
        EXPECT_EQ(treeListing(caseTree.root()), run.after);

        std::optional<RunRecord> last = lastUndoableRun(readRunRecords(records.path()));
        ASSERT_TRUE(last && readRunSteps(*last));
        const RestoreResult undone = restoreRun(*last, records.path());
        for (const RestoreOutcome &outcome : undone.outcomes)
            EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.currentPath.toStdString();
        EXPECT_EQ(treeListing(caseTree.root()), before);
    }
    // A plain rename that changes case alone marks a FAT file's data free;
    // the checker finds any such harm once the driver lets go.
    if (volume) {
        tree.reset();
        EXPECT_EQ(volume->unmountAndCheck(), QString());
    }
}

// Where letter case tells names apart, a new name in another case is another
// entry's: the row fails as any row onto a taken name, and on a file system
// made for Windows a clash with a name that stays is refused up front.
TEST_P(RenameOnEachFileSystem, CaseTwinsAreOtherEntriesWhereCaseCounts)
{
    tree->makeFile("one.txt", "1");
    tree->makeFile("two.txt", "2");
    const QList<RowOutcome> outcomes = carryOutNamingTable(rows({"one.txt>One.txt", "two.txt>one.txt"}));
    EXPECT_EQ(outcomes[0].status(), RowStatus::Renamed);
    if (GetParam().madeForWindows()) {
        EXPECT_EQ(outcomes[1].windowsNameProblem().rule, WindowsNameRule::DiffersOnlyInCase);
        EXPECT_EQ(folderListing(tree->root()), QStringList({"One.txt=1", "two.txt=2"}));
        return;
    }
    EXPECT_EQ(outcomes[1].status(), RowStatus::Renamed);
    EXPECT_EQ(folderListing(tree->root()), QStringList({"One.txt=1", "one.txt=2"}));
    tree->makeFile("report.DOC", "upper");
    tree->makeFile("report.doc", "lower");
    EXPECT_EQ(carryOutNamingTable(rows({"report.DOC>report.doc"}))[0].error(), RenameError::TargetExists);
    EXPECT_EQ(fileContent(tree->path("report.doc")), "lower");
}

INSTANTIATE_TEST_SUITE_P(, RenameOnEachFileSystem,
                         testing::Values(PlaceCase{Place::ExFat, "ExFat"}, PlaceCase{Place::Fat32, "Fat32"},
                                         PlaceCase{Place::Ntfs, "Ntfs"}, PlaceCase{Place::Memory, "Tmpfs"},
                                         PlaceCase{Place::Disk, "Disk"}),
                         [](const auto &place) { return std::string(place.param.name); });

} // namespace
