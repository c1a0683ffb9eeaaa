#include "rename/run_restore.h"
#include "tests/common/fuse_mount.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"
#include "tests/common/windows_volume.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

namespace {

NamingTableRow row(qint64 number, const QString &folder, const QString &oldName, const QString &newName)
{
    return {number, folder, oldName, newName};
}

// The first nanosecond after the millisecond a record's time names.
qint64 nanosecondsAfter(const QDateTime &time)
{
    return (time.toMSecsSinceEpoch() + 1) * 1000000;
}

// Listings in one order, whatever the letter case of their names.
QStringList sorted(QStringList listing)
{
    listing.sort();
    return listing;
}

// Runs recorded in a private folder, and taken back as undo takes them back.
class RunRestore : public ::testing::Test {
protected:
    QString top() const { return tree.path("files") + "/"; }
    QString records() const { return tree.path("state/quillmere/runs"); }

    RecordedRunResult run(const QList<NamingTableRow> &rows)
    {
        return carryOutRecorded(planNamingTableRenames(rows), records(), RunKind::Step3, QString(), "/t/表.xls");
    }

    // Undoes the newest run undo would take; the restore's result.
    std::optional<RestoreResult> undoLast()
    {
        std::optional<RunRecord> last = lastUndoableRun(readRunRecords(records()));
        if (!last || !readRunSteps(*last))
            return std::nullopt;
        return restoreRun(*last, records());
    }

    TempTree tree;
};

// A folder with many renames is read once for its inodes; they must be the
// inodes each entry has, so that undo finds every one.
TEST_F(RunRestore, EntriesOfABusyFolderAreIdentifiedFromItsListing)
{
    QList<NamingTableRow> rows;
    for (int i = 0; i < 40; ++i) {
        const QString name = QString("文件 %1").arg(i);
        tree.makeFile("files/" + name, name.toUtf8());
        rows << row(i + 2, top(), name, i < 2 ? QString("文件 %1").arg(1 - i) : QString("new %1").arg(i));
    }
    const QStringList before = folderListing(top());
    const RenamePlan plan = planNamingTableRenames(rows);
    for (const PlannedRename &rename : plan.renames)
        EXPECT_EQ(rename.entry, entryStatusOf(rename.currentPath)->id) << rename.currentPath.toStdString();

    carryOutRecorded(plan, records(), RunKind::Step3, QString(), "/t/x.xls");
    EXPECT_EQ(undoLast()->restoredCount(), 40);
    EXPECT_EQ(folderListing(top()), before);
}

// Where undo after undo runs: a local disk, which keeps birth times, or a
// share or a volume made for Windows, which keep none.
enum class Place { Disk, Bindfs, ExFat, Fat32, Ntfs };

struct PlaceCase {
    Place place;
    const char *name;
    friend void PrintTo(const PlaceCase &place, std::ostream *out) { *out << place.name; }
};

class RunRestoreOnEachPlace : public RunRestore, public testing::WithParamInterface<PlaceCase> {
protected:
    void SetUp() override
    {
        switch (GetParam().place) {
        case Place::Disk: return;
        case Place::Bindfs:
            share = std::make_unique<FuseMountedFolder>();
            if (!share->isMounted())
                GTEST_SKIP() << "FUSE mount not available: " << share->whyNotMounted().toStdString();
            files = std::make_unique<TempTree>(share->mountPoint());
            return;
        case Place::ExFat: volume = std::make_unique<WindowsVolume>(WindowsVolumeFormat::ExFat); break;
        case Place::Fat32: volume = std::make_unique<WindowsVolume>(WindowsVolumeFormat::Fat32); break;
        case Place::Ntfs: volume = std::make_unique<WindowsVolume>(WindowsVolumeFormat::Ntfs); break;
        }
        if (!volume->isMounted())
            GTEST_SKIP() << "volume not available: " << volume->whyNotMounted().toStdString();
        files = std::make_unique<TempTree>(volume->mountPoint());
    }
    void TearDown() override { files.reset(); }

    // The folder the runs rename in, with a slash.
    QString top() const { return files ? files->path("files") + "/" : RunRestore::top(); }
    const TempTree &filesTree() const { return files ? *files : tree; }

    std::unique_ptr<FuseMountedFolder> share;
    std::unique_ptr<WindowsVolume> volume;
    std::unique_ptr<TempTree> files;
};

// Undo goes back run by run, each run once; a run whose every row failed
// has nothing to undo and is passed over. Without birth times, the renames
// of a later run and of its undo change an entry's status as an edit would:
// they, and the renames inside a folder, do not count as a change since the
// earlier run, while an edit after them still does.
TEST_P(RunRestoreOnEachPlace, SuccessiveUndosGoBackThroughTheRunsOnce)
{
    filesTree().makeFile("files/a", "A");
    filesTree().makeFile("files/b", "B");
    filesTree().makeFile("files/taken", "T");
    filesTree().makeFile("files/d/x", "X");
    // fusefat loses what a renamed folder holds, so folders keep their names
    // there; and it stamps no time on a write, so no edit shows.
    const bool onFusefat = GetParam().place == Place::Fat32;
    const QString folder = onFusefat ? "d/" : "D1/";
    run({row(2, top(), "a", "b"), row(3, top(), "b", "a"), row(4, top() + "d/", "x", "x1"), row(5, top(), "d", "D1")});
    // FAT stamps in steps of two seconds: the later renames must bear a later
    // time than the first run's end, as they do when the user takes a while.
    const QDateTime firstEnded = readRunRecords(records()).front().ended;
    ASSERT_TRUE(waitUntil([&] {
        QFile::remove(filesTree().path("probe"));
        filesTree().makeFile("probe");
        return entryStatusOf(filesTree().path("probe"))->statusChange >= nanosecondsAfter(firstEnded);
    }));
    run({row(2, top(), "b", "c"), row(3, top() + folder, "x1", "x2")});
    run({row(2, top(), "c", "taken")});
    ASSERT_EQ(sorted(treeListing(top())), sorted({folder, folder + "x2=X", "a=B", "c=A", "taken=T"}));

    ASSERT_EQ(undoLast()->restoredCount(), 2);
    ASSERT_EQ(sorted(treeListing(top())), sorted({folder, folder + "x1=X", "a=B", "b=A", "taken=T"}));
    const QDateTime undoEnded = readRunRecords(records()).front().ended;
    ASSERT_TRUE(undoEnded.isValid());
    const QString edited = top() + folder + "x1";
    ASSERT_TRUE(onFusefat || waitUntil([&] {
        writeFileContent(edited, "edited");
        return entryStatusOf(edited)->statusChange >= nanosecondsAfter(undoEnded);
    })) << "the file system never stamps an edit after the undo";
    const bool editSeen = !onFusefat && !entryStatusOf(edited)->birth;

    const std::optional<RestoreResult> undone = undoLast();

    ASSERT_TRUE(undone.has_value());
    QMap<QString, RestoreStatus> statusOf;
    for (const RestoreOutcome &outcome : undone->outcomes)
        statusOf.insert(outcome.originalName, outcome.status);
    QMap<QString, RestoreStatus> expected{{"a", RestoreStatus::Restored},
                                          {"b", RestoreStatus::Restored},
                                          {"x", editSeen ? RestoreStatus::ChangedSince : RestoreStatus::Restored}};
    if (!onFusefat)
        expected.insert("d", RestoreStatus::Restored);
    EXPECT_EQ(statusOf, expected);
    const QString x = editSeen ? "d/x1=" : "d/x=";
    EXPECT_EQ(sorted(treeListing(top())), sorted({"a=A", "b=B", "d/", x + (onFusefat ? "X" : "edited"), "taken=T"}));
    EXPECT_FALSE(undoLast().has_value());
    EXPECT_EQ(readRunRecords(records()).size(), 5) << "three runs and two restores";
}

INSTANTIATE_TEST_SUITE_P(, RunRestoreOnEachPlace,
                         testing::Values(PlaceCase{Place::Disk, "Disk"}, PlaceCase{Place::Bindfs, "Bindfs"},
                                         PlaceCase{Place::ExFat, "ExFat"}, PlaceCase{Place::Fat32, "Fat32"},
                                         PlaceCase{Place::Ntfs, "Ntfs"}),
                         [](const auto &place) { return std::string(place.param.name); });

// What changed after the run is left alone and reported, and nothing is
// replaced: an entry renamed again, one deleted, one whose place another
// entry took, one whose old name a new file took.
TEST_F(RunRestore, UndoLeavesWhatChangedSinceAndReportsIt)
{
    for (const char *name : {"a", "b", "c", "d", "e"})
        tree.makeFile(QStringLiteral("files/") + name, name);
    run({row(2, top(), "a", "a2"), row(3, top(), "b", "b2"), row(4, top(), "c", "c2"), row(5, top(), "d", "d2"),
         row(6, top(), "e", "e2")});
    ASSERT_TRUE(QFile::rename(top() + "a2", top() + "mine"));
    ASSERT_TRUE(QFile::remove(top() + "b2"));
    ASSERT_NO_FATAL_FAILURE(remakeFileBornAfter(top() + "c2", "new c2", QDateTime::currentDateTime()));
    tree.makeFile("files/d", "new d");

    const std::optional<RestoreResult> undone = undoLast();

    ASSERT_TRUE(undone.has_value());
    QList<RestoreStatus> statuses;
    for (const RestoreOutcome &outcome : undone->outcomes)
        statuses << outcome.status;
    EXPECT_EQ(statuses, QList<RestoreStatus>({RestoreStatus::Gone, RestoreStatus::Gone, RestoreStatus::Replaced,
                                              RestoreStatus::NameTaken, RestoreStatus::Restored}));
    EXPECT_EQ(undone->outcomes[3].currentPath, top() + "d2");
    EXPECT_EQ(undone->outcomes[3].originalName, "d");
    EXPECT_EQ(folderListing(top()), QStringList({"c2=new c2", "d=new d", "d2=d", "e=e", "mine=a"}));
}

// Without birth times (a FUSE share) an entry with the run's inode counts as
// the run's only while its status has not changed since the run ended. The
// run's own renames change it and count; a change after the run (here of its
// mode, or of a folder's list of names; as well a new file given the freed
// inode) leaves the entry alone; the entries inside a folder so left are
// judged on their own.
TEST(RunRestoreWithoutBirthTimes, EntryChangedAfterTheRunIsListedAndLeftAlone)
{
    const FuseMountedFolder share;
    SKIP_UNLESS_MOUNTED(share);
    const TempTree tree(share.mountPoint());
    const QTemporaryDir records;
    for (const char *name : {"a", "b", "c"})
        tree.makeFile(QStringLiteral("files/") + name, name);
    tree.makeFile("files/d/x", "x");
    const QString top = tree.path("files") + "/";
    if (entryStatusOf(top + "a")->birth)
        GTEST_SKIP() << "this FUSE mount gives birth times";
    carryOutRecorded(planNamingTableRenames({row(2, top, "a", "a2"), row(3, top, "b", "b2"), row(4, top, "c", "c2"),
                                             row(5, top + "d/", "x", "x2"), row(6, top, "d", "d2")}),
                     records.path(), RunKind::Step3, QString(), "/t/x.xls");
    std::optional<RunRecord> last = lastUndoableRun(readRunRecords(records.path()));
    ASSERT_TRUE(last && readRunSteps(*last) && last->ended.isValid());
    const qint64 afterEnd = nanosecondsAfter(last->ended);
    ASSERT_TRUE(waitUntil([&] {
        QFile::setPermissions(top + "b2", QFile::ReadOwner | QFile::WriteOwner);
        return entryStatusOf(top + "b2")->statusChange >= afterEnd;
    }));
    tree.makeFile("files/d2/made later", "new");
    ASSERT_GE(entryStatusOf(top + "d2")->statusChange, afterEnd);

    const RestoreResult undone = restoreRun(*last, records.path());

    QMap<QString, RestoreStatus> statusAt;
    for (const RestoreOutcome &outcome : undone.outcomes)
        statusAt.insert(outcome.currentPath, outcome.status);
    EXPECT_EQ(statusAt, (QMap<QString, RestoreStatus>{{top + "a2", RestoreStatus::Restored},
                                                      {top + "b2", RestoreStatus::ChangedSince},
                                                      {top + "c2", RestoreStatus::Restored},
                                                      {top + "d2", RestoreStatus::ChangedSince},
                                                      {top + "d2/x2", RestoreStatus::Restored}}));
    EXPECT_EQ(treeListing(top), QStringList({"a=a", "b2=b", "c=c", "d2/", "d2/made later=new", "d2/x=x"}));
}

} // namespace
