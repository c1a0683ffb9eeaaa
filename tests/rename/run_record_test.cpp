#include "rename/recorded_run.h"
#include "rename/run_restore.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

NamingTableRow row(qint64 number, const QString &folder, const QString &oldName, const QString &newName)
{
    return {number, folder, oldName, newName};
}

class RunRecords : public ::testing::Test {
protected:
    QString top() const { return tree.path("files") + "/"; }
    QString records() const { return tree.path("state/quillmere/runs"); }

    RecordedRun run(const QList<NamingTableRow> &rows)
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

// Names that would break a line-based file (tab, line break, backslash) come
// back exactly; the rest stays readable as it is. Enough of them that the
// record is written in several parts.
TEST_F(RunRecords, RecordReadsBackAsWrittenAndEndsWithTheOutcome)
{
    QStringList names;
    for (int part = 0; part < 4; ++part) {
        names << QString("plain %1").arg(part) << QString("tab\there %1").arg(part) << QString("line\nbreak %1").arg(part)
              << QString("back\\slash\\n %1").arg(part);
        for (int i = 0; i < 150; ++i)
            names << QString("图纸 %1-%2 of a drawing office's long project.dwg").arg(part).arg(i);
    }
    for (const QString &name : names)
        tree.makeFile("files/" + name, name.toUtf8());
    QList<NamingTableRow> rows;
    for (const QString &name : names)
        rows << row(rows.size() + 2, top(), name, "new " + QString::number(rows.size()));
    rows << row(rows.size() + 2, top(), "missing", "x");

    const RenamePlan plan = planNamingTableRenames(rows);
    const RecordedRun done = carryOutRecorded(plan, records(), RunKind::Step3, QString(), "/t/命名\t表.xls");

    ASSERT_FALSE(done.recordFailure.has_value());
    QList<RunRecord> all = readRunRecords(records());
    ASSERT_EQ(all.size(), 1);
    RunRecord &record = all[0];
    EXPECT_EQ(record.path, done.recordPath);
    EXPECT_EQ(record.workbook, "/t/命名\t表.xls");
    EXPECT_EQ(record.end, RunEnd::Ended);
    EXPECT_EQ(record.renamedEntries, names.size());
    EXPECT_LE(qAbs(record.started.secsTo(QDateTime::currentDateTime())), 60);
    ASSERT_TRUE(readRunSteps(record));
    const QList<PlannedStep> planned = plannedSteps(plan);
    ASSERT_EQ(record.steps.size(), planned.size());
    for (qsizetype i = 0; i < planned.size(); ++i) {
        EXPECT_EQ(record.steps[i].oldPath, planned[i].oldPath);
        EXPECT_EQ(record.steps[i].newPath, planned[i].newPath);
        EXPECT_EQ(record.steps[i].entry, planned[i].entry);
        EXPECT_EQ(record.steps[i].rowNumber, planned[i].rowNumber);
    }
    EXPECT_EQ(record.steps[0].entry, entryStatusOf(top() + "new 0")->id);

    QFile file(record.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("\t" + top() + "图纸 0-0 of a drawing office's long project.dwg\t" + top() + "new 4\n"));
    EXPECT_TRUE(text.contains("\t" + top() + "line\\nbreak 3\t"));
    EXPECT_TRUE(text.contains(QString("row\t%1\tfailed\n").arg(names.size() + 2)));
}

// A folder with many renames is read once for its inodes; they must be the
// inodes each entry has, so that undo finds every one.
TEST_F(RunRecords, EntriesOfABusyFolderAreIdentifiedFromItsListing)
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

TEST_F(RunRecords, RecordThatCannotBeWrittenStopsTheRunBeforeAnyRename)
{
    tree.makeFile("files/a", "A");
    tree.makeFile("state", "a file where the records' folder would go");
    bool renamesMayStart = false;

    const RecordedRun done = carryOutRecorded(planNamingTableRenames({row(2, top(), "a", "b")}), records(),
                                              RunKind::Step3, QString(), "/t/x.xls", [&] { renamesMayStart = true; });

    ASSERT_TRUE(done.recordFailure.has_value());
    EXPECT_EQ(done.recordFailure->path, tree.path("state/quillmere"));
    EXPECT_FALSE(done.recordFailure->systemText.isEmpty());
    EXPECT_FALSE(renamesMayStart);
    EXPECT_TRUE(done.outcomes.isEmpty());
    EXPECT_EQ(folderListing(top()), QStringList{"a=A"});
}

// A run with nothing to rename leaves no record behind.
TEST_F(RunRecords, RunThatRenamesNothingWritesNoRecord)
{
    tree.makeFile("files/a", "A");
    const RecordedRun done = run({row(2, top(), "a", ""), row(3, top(), "a", "a")});
    EXPECT_FALSE(done.recordFailure.has_value());
    EXPECT_TRUE(done.recordPath.isEmpty());
    EXPECT_TRUE(readRunRecords(records()).isEmpty());
}

// Another program's run in progress: its record is neither recovered nor
// undone, nor removed as old.
TEST_F(RunRecords, RunStillInProgressIsLeftAlone)
{
    tree.makeFile("files/a", "A");
    RunRecordWriter running;
    ASSERT_FALSE(running.begin(records(), RunKind::Step3, QString(), "/t/x.xls",
                               planNamingTableRenames({row(2, top(), "a", "b")}))
                     .has_value());
    for (int i = 0; i < 21; ++i)
        run({row(2, top(), i % 2 ? "b" : "a", i % 2 ? "a" : "b")});

    const QList<RunRecord> all = readRunRecords(records());
    EXPECT_EQ(all.size(), 21) << "the newest 20 and the one still running";
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const RunRecord &record) { return record.path == running.path(); }));
    EXPECT_TRUE(cutOffRuns(all).isEmpty());
    EXPECT_NE(lastUndoableRun(all)->path, running.path());
}

// Undo goes back run by run, each run once; a run whose every row failed
// has nothing to undo and is passed over.
TEST_F(RunRecords, SuccessiveUndosGoBackThroughTheRunsOnce)
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
TEST_F(RunRecords, UndoLeavesWhatChangedSinceAndReportsIt)
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

} // namespace
