#include "rename/run_restore.h"
#include "tests/common/fuse_mount.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

namespace {

NamingTableRow row(qint64 number, const QString &folder, const QString &oldName, const QString &newName)
{
    return {number, folder, oldName, newName};
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

// Undo goes back run by run, each run once; a run whose every row failed
// has nothing to undo and is passed over.
TEST_F(RunRestore, SuccessiveUndosGoBackThroughTheRunsOnce)
{
    tree.makeFile("files/a", "A");
    tree.makeFile("files/taken", "T");
    run({row(2, top(), "a", "b")});
    run({row(2, top(), "b", "c")});
    run({row(2, top(), "c", "taken")});
    ASSERT_EQ(folderListing(top()), QStringList({"c=A", "taken=T"}));

    ASSERT_EQ(undoLast()->restoredCount(), 1);
    EXPECT_EQ(folderListing(top()), QStringList({"b=A", "taken=T"}));
    ASSERT_EQ(undoLast()->restoredCount(), 1);
    EXPECT_EQ(folderListing(top()), QStringList({"a=A", "taken=T"}));
    EXPECT_FALSE(undoLast().has_value());
    EXPECT_EQ(readRunRecords(records()).size(), 5) << "three runs and two restores";
}

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
    const qint64 afterEnd = (last->ended.toMSecsSinceEpoch() + 1) * 1000000;
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
