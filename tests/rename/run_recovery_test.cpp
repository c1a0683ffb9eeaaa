// Runs killed at every rename, then put right from their records. CTest
// preloads rename_fault_shim.c, whose "kill-at:K" mode kills the process
// right after its K-th rename; each run is carried out by a forked child, so
// that the test itself lives on to recover it.
#include "rename/run_restore.h"
#include "tests/common/fuse_mount.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/windows_volume.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

NamingTableRow row(qint64 number, const QString &folder, const QString &oldName, const QString &newName)
{
    return {number, folder, oldName, newName};
}

// Which table a SmallRun renames. Mixed: a swap, a cycle of three, a chain,
// a link, a folder renamed with renames inside it, and two folders swapped
// with their contents. LetterCase, as on a USB stick: a file's letter case,
// a swap by letter case, a plain swap, a folder's letter case with a file's
// inside it, and a folder to a name taken just before the run.
enum class Table { Mixed, LetterCase };

// A table's files, in `parentFolder` (the system's temporary folder when
// empty).
struct SmallRun {
    TempTree tree;
    QString records = tree.path("state");
    QString files = tree.path("files");
    Table table;

    explicit SmallRun(const QString &parentFolder = QString(), Table which = Table::Mixed)
        : tree(parentFolder), table(which)
    {
        if (table == Table::LetterCase) {
            for (const char *name : {"report.DOC", "a.txt", "b.txt", "c.txt", "d.txt", "Sub/x.txt", "e/in-e.txt"})
                tree.makeFile(QStringLiteral("files/") + name, QByteArray("content ") + name);
            return;
        }
        for (const char *name : {"a", "b", "c", "d", "e", "f", "g"})
            tree.makeFile(QStringLiteral("files/") + name, QByteArray("content ") + name);
        tree.makeFile("files/dir/x", "x");
        tree.makeFile("files/dir/sub/z", "z");
        tree.makeFile("files/p/in-p", "p");
        tree.makeFile("files/q/in-q", "q");
        QFile::link("f", files + "/link");
    }

    QList<NamingTableRow> rows() const
    {
        const QString top = files + "/";
        if (table == Table::LetterCase)
            return {row(2, top, "report.DOC", "report.doc"), row(3, top, "a.txt", "B.TXT"),
                    row(4, top, "b.txt", "A.TXT"),           row(5, top, "c.txt", "d.txt"),
                    row(6, top, "d.txt", "c.txt"),           row(7, top + "Sub/", "x.txt", "X.TXT"),
                    row(8, top, "Sub", "SUB"),               row(9, top, "e", "E2")};
        const QString dir = top + "dir/";
        return {row(2, top, "a", "b"),       row(3, top, "b", "a"),           row(4, top, "c", "d"),
                row(5, top, "d", "e"),       row(6, top, "e", "c"),           row(7, top, "f", "g"),
                row(8, top, "g", "h"),       row(9, top, "dir", "目录"),      row(10, dir, "x", "y"),
                row(11, dir, "sub", "sub2"), row(12, dir + "sub/", "z", "w"), row(13, top, "p", "q"),
                row(14, top, "q", "p"),      row(15, top, "link", "link2")};
    }

    // What the user does between the plan and the run. In the letter-case
    // table, an empty folder made at a folder's new name: the run's claim of
    // that name fails, and the folder is the user's, however close to the
    // run's start the volume stamps it.
    void takeANewNameBeforeTheRun() const
    {
        if (table == Table::LetterCase)
            tree.makeFolder("files/E2");
    }

    // The tree as treeListing shows it, with each link's own target, which
    // the listing follows, one entry a line.
    std::string listing() const
    {
        QStringList entries = treeListing(files);
        for (QString &entry : entries) {
            char target[256];
            const QByteArray path = QFile::encodeName(files + '/' + entry.section(u'=', 0, 0));
            if (const ssize_t length = readlink(path.constData(), target, sizeof target); length > 0)
                entry += " -> " + QString::fromUtf8(target, length);
        }
        return entries.join(u'\n').toStdString();
    }
};

enum class ChildEnd { Killed, Finished, Failed };

ChildEnd waitForChild(pid_t child)
{
    int status = 0;
    if (child <= 0 || waitpid(child, &status, 0) != child)
        return ChildEnd::Failed;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return ChildEnd::Killed;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::Finished : ChildEnd::Failed;
}

// Carries out `plan` in a child, with the shim's `fault` set once the record
// is durable, right before the first rename (so that writing the record
// counts for no fault); an empty fault kills the child right there.
ChildEnd runInChild(const RenamePlan &plan, const QString &records, const QByteArray &fault)
{
    const pid_t child = fork();
    if (child == 0) {
        carryOutRecorded(plan, records, RunKind::Step3, QString(), QStringLiteral("/t/names.xls"), [&fault] {
            if (fault.isEmpty())
                raise(SIGKILL);
            qputenv("QUILLMERE_RENAME_FAULT", fault);
        });
        _exit(0);
    }
    return waitForChild(child);
}

// Undoes the run in `records` that undo would take back, in a child with the
// shim's `fault` set right before the undo, its record included.
ChildEnd undoInChild(const QString &records, const QByteArray &fault)
{
    const pid_t child = fork();
    if (child == 0) {
        std::optional<RunRecord> run = lastUndoableRun(readRunRecords(records));
        if (!run || !readRunSteps(*run))
            _exit(1);
        qputenv("QUILLMERE_RENAME_FAULT", fault);
        restoreRun(*run, records);
        _exit(0);
    }
    return waitForChild(child);
}

// Carries out the small run, then undoes it in a child killed at each point
// `fault` followed by a number names, from 1 until the undo goes through,
// and carries the undo through as the next start does. Every entry ends
// under its name from before the run, with nothing left under a temporary
// name or as a claim, and the run counts as undone. Returns the points.
int finishUndoKilledAtEachPoint(const QString &parentFolder, const QByteArray &fault)
{
    int killPoints = 0;
    for (int killAt = 1; killAt < 200 && !testing::Test::HasFailure(); ++killAt) {
        SCOPED_TRACE(fault.toStdString() + std::to_string(killAt));
        SmallRun run(parentFolder);
        const std::string before = run.listing();
        EXPECT_EQ(runInChild(planNamingTableRenames(run.rows()), run.records, "kill-at:100000"), ChildEnd::Finished);
        const std::string renamed = run.listing();
        const ChildEnd undo = undoInChild(run.records, fault + QByteArray::number(killAt));
        if (undo == ChildEnd::Finished)
            break;
        EXPECT_EQ(undo, ChildEnd::Killed) << "run through CTest, which preloads the fault library";
        if (undo != ChildEnd::Killed)
            break;
        ++killPoints;

        QList<RunRecord> cutOff = cutOffRuns(readRunRecords(run.records));
        if (cutOff.isEmpty()) {
            EXPECT_EQ(run.listing(), renamed) << "killed before its record stood, the undo renamed nothing";
            continue;
        }
        EXPECT_EQ(cutOff.size(), 1);
        EXPECT_EQ(cutOff[0].kind, RunKind::Restore);
        EXPECT_TRUE(readRunSteps(cutOff[0]));
        const RestoreResult finished = finishRestoreRun(cutOff[0], run.records);

        EXPECT_FALSE(finished.recordFailure.has_value());
        EXPECT_EQ(finished.restoredCount(), finished.outcomes.size()) << "every entry found and put right";
        EXPECT_EQ(run.listing(), before);
        EXPECT_FALSE(lastUndoableRun(readRunRecords(run.records)).has_value()) << "the run counts as undone";
    }
    return killPoints;
}

// Carries out `plan` in a child killed right after its `killAt`-th rename
// (0: once its record is written, before any rename), or its `killAt`-th
// link where `fault` makes files move by link. True when the child was
// killed as asked.
bool runKilledAt(const RenamePlan &plan, const QString &records, int killAt, const QByteArray &fault = "kill-at:")
{
    return runInChild(plan, records, killAt > 0 ? fault + QByteArray::number(killAt) : QByteArray()) ==
           ChildEnd::Killed;
}

// Recovers the one run cut off in `records` as the next start does; returns
// how many of its entries it found renamed, or -1 when there was no such run.
qsizetype recoverCutOffRun(const QString &records, RestoreResult &restored)
{
    QList<RunRecord> cutOff = cutOffRuns(readRunRecords(records));
    if (cutOff.size() != 1 || !readRunSteps(cutOff[0]))
        return -1;
    const QList<LocatedEntry> located = locateRunEntries(cutOff[0]);
    restored = restoreRun(cutOff[0], records);
    return std::count_if(located.begin(), located.end(), [](const LocatedEntry &entry) { return entry.renamed(); });
}

// Where the file system refuses the no-replace rename, a file moves by a
// link and then the removal of its old name; killed between the two, it
// stands under both names, and recovery must leave it under its old one.
class RunCutOff : public testing::TestWithParam<const char *> {};

TEST_P(RunCutOff, KilledAtEveryRenameIsPutBackWhole)
{
    const QByteArray fault = GetParam();
    const bool byLink = fault.startsWith("link");
    int steps = 0;
    {
        SmallRun probe;
        steps = int(plannedStepCount(planNamingTableRenames(probe.rows())));
    }
    ASSERT_EQ(steps, 17) << "each swap or cycle takes one step more than its rows";
    // The five steps of folders and the link's never move by link.
    const int kills = byLink ? steps - 6 : steps;

    for (int killAt = 0; killAt <= kills && !HasFailure(); ++killAt) {
        SCOPED_TRACE("killed after rename or link " + std::to_string(killAt));
        SmallRun run;
        const std::string before = run.listing();
        ASSERT_TRUE(runKilledAt(planNamingTableRenames(run.rows()), run.records, killAt, fault))
            << "run through CTest, which preloads the fault library";

        const QList<RunRecord> records = readRunRecords(run.records);
        ASSERT_EQ(records.size(), 1);
        EXPECT_EQ(records[0].end, RunEnd::Running);
        EXPECT_FALSE(lastUndoableRun(records).has_value()) << "a run without its end is no run to undo";
        QList<RunRecord> cutOff = cutOffRuns(records);
        ASSERT_EQ(cutOff.size(), 1);
        ASSERT_TRUE(readRunSteps(cutOff[0]));
        const QList<LocatedEntry> located = locateRunEntries(cutOff[0]);
        const qsizetype moved = std::count_if(located.begin(), located.end(), [](const LocatedEntry &entry) {
            return entry.renamed();
        });
        EXPECT_EQ(moved == 0, killAt == 0);

        const RestoreResult restored = restoreRun(cutOff[0], run.records);

        ASSERT_FALSE(restored.recordFailure.has_value());
        EXPECT_EQ(restored.restoredCount(), moved);
        EXPECT_EQ(restored.outcomes.size(), moved) << "every entry found and put back";
        EXPECT_EQ(run.listing(), before);
        EXPECT_FALSE(treeListing(run.files).join('\n').contains(cycleTemporaryPrefix()));
    }
}

TEST(RunRecovery, UndoKilledAfterEveryRenameIsFinished)
{
    EXPECT_EQ(finishUndoKilledAtEachPoint(QString(), "kill-at:"), 17);
}

// On a share an undo moves files by link and folders onto claims as a run
// does; killed before any change, it leaves second names and claims that
// carrying it through must clear, keeping each entry's last name.
TEST(RunRecovery, UndoOnFuseMountKilledBeforeEveryChangeIsFinished)
{
    const FuseMountedFolder share;
    SKIP_UNLESS_MOUNTED(share);
    EXPECT_GE(finishUndoKilledAtEachPoint(share.mountPoint(), "kill-before:"), 11 * 2 + 6 * 2);
}

// Where a run is killed before each change: a share (bindfs) with the mixed
// table, or a volume made for Windows with the letter-case one.
struct KillPlace {
    const char *name;
    std::optional<WindowsVolumeFormat> volume;
    Table table;
    // The fewest changes the table makes there.
    int leastKillPoints;
    friend void PrintTo(const KillPlace &place, std::ostream *out) { *out << place.name; }
};

class RunKilledBeforeEveryChange : public testing::TestWithParam<KillPlace> {};

// On a FUSE mount the no-replace rename is refused: files move by link where
// the file system has links, folders and links (and files on exFAT and FAT)
// onto a claim made first (an empty folder or file at the new name), and a
// change of letter case alone goes through a temporary name where letter
// case does not tell names apart. Killed right before any call that changes
// the disk, a claim may stand unused, or in the way of an entry that stepped
// aside; recovery takes its own claims away, however coarsely the volume
// stamps their times, and puts every entry back, with nothing left over.
TEST_P(RunKilledBeforeEveryChange, IsPutBackExactly)
{
    const KillPlace place = GetParam();
    std::unique_ptr<FuseMountedFolder> share;
    std::unique_ptr<WindowsVolume> volume;
    QString mountPoint;
    if (place.volume) {
        volume = std::make_unique<WindowsVolume>(*place.volume);
        if (!volume->isMounted())
            GTEST_SKIP() << "volume not available: " << volume->whyNotMounted().toStdString();
        mountPoint = volume->mountPoint();
    } else {
        share = std::make_unique<FuseMountedFolder>();
        SKIP_UNLESS_MOUNTED(*share);
        mountPoint = share->mountPoint();
    }
    int killPoints = 0;
    for (int killBefore = 1; killBefore < 200 && !HasFailure(); ++killBefore) {
        SCOPED_TRACE("killed before change " + std::to_string(killBefore));
        SmallRun run(mountPoint, place.table);
        const RenamePlan plan = planNamingTableRenames(run.rows());
        run.takeANewNameBeforeTheRun();
        const std::string before = run.listing();
        const ChildEnd end = runInChild(plan, run.records, "kill-before:" + QByteArray::number(killBefore));
        if (end == ChildEnd::Finished)
            break;
        ASSERT_EQ(end, ChildEnd::Killed) << "run through CTest, which preloads the fault library";
        ++killPoints;

        RestoreResult restored;
        const qsizetype moved = recoverCutOffRun(run.records, restored);

        ASSERT_GE(moved, 0) << "one run cut off";
        ASSERT_FALSE(restored.recordFailure.has_value());
        EXPECT_EQ(restored.restoredCount(), moved);
        EXPECT_EQ(restored.outcomes.size(), moved) << "every entry found and put back";
        EXPECT_EQ(run.listing(), before);
    }
    EXPECT_GE(killPoints, place.leastKillPoints);
    RecordProperty("killPoints", killPoints);
}

// Bindfs: eleven file steps link and unlink, six folder or link steps claim
// and rename onto the claim, and the first rename in each of three folders
// tries the no-replace rename first. exFAT: ten file steps (two through a
// temporary name for a letter case, two cycles of three, two inside Sub)
// each try a link, claim and rename; Sub's two steps claim and rename; a
// first try in each of two folders; E2's claim. FAT32: the same, but Sub's
// first step is refused after its claim, which goes again, and its second
// never comes. NTFS tells letter case apart: seven file steps link and
// unlink; Sub claims and renames; two first tries; E2's claim.
INSTANTIATE_TEST_SUITE_P(, RunKilledBeforeEveryChange,
                         testing::Values(KillPlace{"Bindfs", std::nullopt, Table::Mixed, 11 * 2 + 6 * 2 + 3},
                                         KillPlace{"ExFat", WindowsVolumeFormat::ExFat, Table::LetterCase,
                                                   10 * 3 + 2 * 2 + 2 + 1},
                                         KillPlace{"Fat32", WindowsVolumeFormat::Fat32, Table::LetterCase,
                                                   10 * 3 + 3 + 2 + 1},
                                         KillPlace{"Ntfs", WindowsVolumeFormat::Ntfs, Table::LetterCase,
                                                   7 * 2 + 2 + 2 + 1}),
                         [](const testing::TestParamInfo<KillPlace> &place) { return std::string(place.param.name); });

INSTANTIATE_TEST_SUITE_P(ByRenameOrByLink, RunCutOff, testing::Values("kill-at:", "link-kill-at:"),
                         [](const testing::TestParamInfo<const char *> &way) {
                             return std::string(way.index == 0 ? "renamed" : "linked");
                         });

// Recovery takes away only what the run's record names as a claim, only
// while it is empty: entries someone made at the run's new names since it
// was cut off stay, and so does a claim someone has written into, reported
// as holding the name of the folder that stepped aside for it.
TEST(RunRecovery, OnFuseMountOnlyRecordedEmptyClaimsGo)
{
    const FuseMountedFolder share;
    SKIP_UNLESS_MOUNTED(share);
    {
        SmallRun run(share.mountPoint());
        ASSERT_EQ(runInChild(planNamingTableRenames(run.rows()), run.records, "kill-before:1"), ChildEnd::Killed);
        run.tree.makeFile("files/h");
        run.tree.makeFolder("files/目录");
        const std::string before = run.listing();
        RestoreResult restored;
        EXPECT_EQ(recoverCutOffRun(run.records, restored), 0);
        EXPECT_EQ(run.listing(), before);
    }

    // q steps onto the claim at p once p has stepped aside: kill before that.
    for (int killBefore = 1; killBefore < 10; ++killBefore) {
        SmallRun run(share.mountPoint());
        const QString top = run.files + "/";
        const RenamePlan swap = planNamingTableRenames({row(13, top, "p", "q"), row(14, top, "q", "p")});
        ASSERT_EQ(runInChild(swap, run.records, "kill-before:" + QByteArray::number(killBefore)), ChildEnd::Killed);
        if (const QStringList cut = treeListing(run.files); !cut.contains("p/") || cut.contains("p/in-p=p"))
            continue;
        run.tree.makeFile("files/p/written", "W");
        RestoreResult restored;

        EXPECT_EQ(recoverCutOffRun(run.records, restored), 1);

        ASSERT_EQ(restored.outcomes.size(), 1);
        EXPECT_EQ(restored.outcomes[0].status, RestoreStatus::NameTaken);
        EXPECT_EQ(restored.outcomes[0].originalName, "p");
        QStringList after = treeListing(run.files).filter(QRegularExpression("^(\\.|p/|q/)"));
        after.replaceInStrings(QRegularExpression("^\\.quillmere-swap-[0-9a-f]{8}-"), ".quillmere-swap-*-");
        EXPECT_EQ(after, QStringList({".quillmere-swap-*-p/", ".quillmere-swap-*-p/in-p=p", "p/", "p/written=W", "q/",
                                      "q/in-q=q"}));
        return;
    }
    FAIL() << "no kill point left the claim at p";
}

// Killed after its last rename, before its end was written: the run is done
// on disk, and recovery still takes all of it back.
TEST(RunRecovery, RecoveredRunIsUndoneAndNotOfferedAgain)
{
    SmallRun run;
    const QStringList before = treeListing(run.files);
    const RenamePlan plan = planNamingTableRenames(run.rows());
    ASSERT_TRUE(runKilledAt(plan, run.records, int(plannedStepCount(plan))));
    QList<RunRecord> cutOff = cutOffRuns(readRunRecords(run.records));
    ASSERT_EQ(cutOff.size(), 1);
    ASSERT_TRUE(readRunSteps(cutOff[0]));
    EXPECT_EQ(restoreRun(cutOff[0], run.records).restoredCount(), run.rows().size());
    ASSERT_TRUE(markRunCutOff(cutOff[0], run.rows().size()).ok());

    const QList<RunRecord> records = readRunRecords(run.records);
    EXPECT_TRUE(cutOffRuns(records).isEmpty());
    EXPECT_FALSE(lastUndoableRun(records).has_value()) << "the recovered run is undone already";
    EXPECT_EQ(treeListing(run.files), before);
}

} // namespace
