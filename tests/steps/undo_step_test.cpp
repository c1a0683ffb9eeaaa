// Step 3's record and what undo and recovery say, on real trees, without an
// office: rows are handed to step 3 as read.
#include "rename/run_lock.h"
#include "rename/run_record_folder.h"
#include "steps/step_three_job.h"
#include "steps/recovery_job.h"
#include "steps/undo_job.h"
#include "steps/undo_step.h"
#include "tests/common/cut_off_run.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace {

class UndoStep : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *name : {"a", "b", "c"})
            tree.makeFile(QStringLiteral("files/") + name, name);
        before = folderListing(top());
    }
    QString top() const { return tree.path("files") + "/"; }
    QList<NamingTableRow> rows() const
    {
        return {{2, top(), "a", "b"}, {3, top(), "b", "a"}, {4, top(), "c", "甲"}, {5, top(), "x", ""}};
    }
    void stepThree()
    {
        ScriptedUser view;
        runToEnd(StepThreeJob(rows(), "/t/names.xls"), view);
        ASSERT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    }
    // Undo with the given answer to its question.
    ScriptedUser undo(bool answer)
    {
        ScriptedUser view;
        view.yesNoAnswers << answer;
        runToEnd(UndoJob(), view);
        return view;
    }

    // A run cut off and left as it stands: the next start asks nothing, and
    // undo puts back all three entries it renamed.
    void expectLeftForUndo()
    {
        ScriptedUser again;
        runToEnd(RecoveryJob(), again);
        EXPECT_TRUE(again.questions.isEmpty());
        const ScriptedUser undone = undo(true);
        EXPECT_TRUE(undone.questions.value(0).endsWith("3 个文件将恢复原名。")) << undone.questions.value(0).toStdString();
        EXPECT_EQ(undone.messages, QStringList{"已撤销：3 个文件恢复了原名"});
        EXPECT_EQ(folderListing(top()), before);
    }

    TempTree tree;
    QStringList before;
};

// Moves the new path of the record's step for `newName` into another folder,
// as no run writes it; returns the record's path and the line changed.
std::pair<QString, qsizetype> damageNewestRecord(const QString &top, const QString &newName, const QString &otherFolder)
{
    const QString path = readRunRecords(runRecordsFolder()).value(0).path;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return {path, 0};
    QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith("rename\t") && lines[i].endsWith(("\t" + top + newName).toUtf8())) {
            lines[i].replace(("\t" + top + newName).toUtf8(), ("\t" + otherFolder + newName).toUtf8());
            file.resize(0);
            file.write(lines.join('\n'));
            return {path, i + 1};
        }
    }
    return {path, 0};
}

const QString timePattern = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");

TEST_F(UndoStep, UndoAsksThenPutsTheLastRunBackOnce)
{
    EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
    ASSERT_NO_FATAL_FAILURE(stepThree());

    const ScriptedUser declined = undo(false);
    ASSERT_EQ(declined.questions.size(), 1);
    EXPECT_TRUE(QRegularExpression("^撤销 " + timePattern + " 的批量更名吗？3 个文件将恢复原名。$")
                    .match(declined.questions[0])
                    .hasMatch())
        << declined.questions[0].toStdString();
    EXPECT_TRUE(declined.messages.isEmpty());
    EXPECT_EQ(folderListing(top()), QStringList({"a=b", "b=a", "甲=c"}));

    EXPECT_EQ(undo(true).messages, QStringList{"已撤销：3 个文件恢复了原名"});
    EXPECT_EQ(folderListing(top()), before);
    EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
}

TEST_F(UndoStep, UndoListsEachEntryItCouldNotPutBack)
{
    ASSERT_NO_FATAL_FAILURE(stepThree());
    ASSERT_NO_FATAL_FAILURE(remakeFileBornAfter(top() + "甲", "new", QDateTime::currentDateTime()));

    const ScriptedUser view = undo(true);

    EXPECT_EQ(view.messages, QStringList{"有 1 行未能撤销：\n" + top() + "甲 → c（更名后的位置现在是另一个文件）"});
    EXPECT_EQ(folderListing(top()), QStringList({"a=a", "b=b", "甲=new"}));
}

// No file is renamed without a record to take it back.
TEST_F(UndoStep, StepThreeWithoutItsRecordRenamesNothing)
{
    const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
    tree.makeFile("state", "a file where the records' folder would go");
    qputenv("XDG_STATE_HOME", tree.path("state").toLocal8Bit());
    ScriptedUser view;
    runToEnd(StepThreeJob(rows(), "/t/names.xls"), view);
    qputenv("XDG_STATE_HOME", stateHome);

    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith("无法写入更名记录，没有文件被更名：" + tree.path("state/quillmere") + "（"))
        << view.messages[0].toStdString();
    EXPECT_TRUE(view.renamed.isEmpty());
    EXPECT_EQ(folderListing(top()), before);
}

TEST_F(UndoStep, CutOffRunIsOfferedAtStartAndPutBackOnYes)
{
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
    ScriptedUser view;
    view.yesNoAnswers << true;

    runToEnd(RecoveryJob(), view);

    ASSERT_EQ(view.questions.size(), 1);
    EXPECT_TRUE(QRegularExpression("^上次批量更名（" + timePattern + "）在完成前中断了。现在把已更名的 3 个文件恢复原名吗？$")
                    .match(view.questions[0])
                    .hasMatch())
        << view.questions[0].toStdString();
    EXPECT_EQ(view.messages, QStringList{"已撤销：3 个文件恢复了原名"});
    EXPECT_EQ(folderListing(top()), before);

    ScriptedUser again;
    runToEnd(RecoveryJob(), again);
    EXPECT_TRUE(again.questions.isEmpty());
    EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
}

// 否 leaves the run as it stands, marked as cut off, for undo to take back.
TEST_F(UndoStep, CutOffRunLeftOnNoCanBeUndoneLater)
{
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
    ScriptedUser view;
    runToEnd(RecoveryJob(), view);
    EXPECT_EQ(view.questions.size(), 1);
    EXPECT_TRUE(view.messages.isEmpty());
    EXPECT_EQ(folderListing(top()), QStringList({"a=b", "b=a", "甲=c"}));

    expectLeftForUndo();
}

// A recovery the user stops before its first rename puts nothing back and
// marks the run cut off: undo then takes back all it left renamed.
TEST_F(UndoStep, RecoveryStoppedLeavesTheRunForUndo)
{
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
    {
        CutOffRunsRecovery recovery;
        recovery.begin();
        ASSERT_TRUE(recovery.question().has_value());
        WorkControl stopped;
        stopped.requestStop();
        recovery.answer(true, &stopped);
        EXPECT_EQ(recovery.takeMessages(), QStringList{"已取消：0 / 3 个文件已恢复原名；其余的可以再用【撤销更名】恢复"});
        EXPECT_FALSE(recovery.question().has_value());
        EXPECT_EQ(folderListing(top()), QStringList({"a=b", "b=a", "甲=c"}));
    }

    expectLeftForUndo();
}

// Step 3 stopped before its first rename renames nothing and leaves nothing
// to undo or to recover.
TEST_F(UndoStep, StepThreeStoppedBeforeItsFirstRenameRenamesNothing)
{
    StepThreeJob stopped(rows(), "/t/names.xls");
    stopped.stop();
    const StepEnd end = runToEnd(std::move(stopped));
    EXPECT_EQ(end.messages, QStringList{"已取消，没有文件被更名"});
    EXPECT_TRUE(end.renamed.isEmpty());
    EXPECT_FALSE(end.countText.has_value());
    EXPECT_EQ(folderListing(top()), before);
    ScriptedUser start;
    runToEnd(RecoveryJob(), start);
    EXPECT_TRUE(start.questions.isEmpty());
    EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
}

// A step into another folder can never come from a run: the record was
// damaged or edited, and none of it is undone, neither by undo nor at start.
TEST_F(UndoStep, RecordWithAStepIntoAnotherFolderIsRefusedAsDamaged)
{
    tree.makeFolder("other");
    const QStringList renamed{"a=b", "b=a", "甲=c"};
    ASSERT_NO_FATAL_FAILURE(stepThree());
    const auto [record, line] = damageNewestRecord(top(), "甲", tree.path("other") + "/");
    ASSERT_GT(line, 0);

    const ScriptedUser view = undo(true);

    EXPECT_EQ(view.messages, QStringList{QString("更名记录已损坏：%1 第 %2 行的原路径与新路径不在同一个文件夹，没有文件被恢复原名")
                                              .arg(record)
                                              .arg(line)});
    EXPECT_EQ(folderListing(top()), renamed);
    EXPECT_TRUE(folderListing(tree.path("other")).isEmpty());

    ASSERT_TRUE(leaveRunCutOffAfterItsRenames({{2, top(), "a", "b"}, {3, top(), "b", "a"}}));
    ASSERT_GT(damageNewestRecord(top(), "b", tree.path("other") + "/").second, 0);
    ScriptedUser atStart;
    atStart.yesNoAnswers << true;
    runToEnd(RecoveryJob(), atStart);
    EXPECT_TRUE(atStart.questions.isEmpty());
    ASSERT_EQ(atStart.messages.size(), 1);
    EXPECT_TRUE(atStart.messages[0].startsWith("更名记录已损坏：")) << atStart.messages[0].toStdString();
    EXPECT_EQ(folderListing(top()), QStringList({"a=a", "b=b", "甲=c"}));
    EXPECT_TRUE(folderListing(tree.path("other")).isEmpty());
}

// Another step 3, undo or recovery (another window or instance) holds the
// lock: this one asks nothing, moves nothing and writes no record.
TEST_F(UndoStep, WhileAnotherRunHoldsTheLockNothingIsDone)
{
    const QStringList busy{"另一个批量更名正在进行，请稍后再试"};
    {
        const RunLock other(runRecordsFolder());
        ScriptedUser view;
        runToEnd(StepThreeJob(rows(), "/t/names.xls"), view);
        EXPECT_EQ(view.messages, busy);
        EXPECT_TRUE(view.renamed.isEmpty());
        EXPECT_EQ(folderListing(top()), before);
        EXPECT_TRUE(readRunRecords(runRecordsFolder()).isEmpty());
    }
    ASSERT_NO_FATAL_FAILURE(stepThree());
    const QStringList renamed = folderListing(top());
    {
        const RunLock other(runRecordsFolder());
        const ScriptedUser view = undo(true);
        EXPECT_TRUE(view.questions.isEmpty());
        EXPECT_EQ(view.messages, busy);
        EXPECT_EQ(folderListing(top()), renamed);
        EXPECT_EQ(readRunRecords(runRecordsFolder()).size(), 1);
    }
    EXPECT_EQ(undo(true).messages, QStringList{"已撤销：3 个文件恢复了原名"});
    EXPECT_EQ(folderListing(top()), before);
}

// A run cut off is neither put back nor marked while the lock is held, and
// is offered at the next start.
TEST_F(UndoStep, CutOffRunWaitsForTheNextStartWhileTheLockIsHeld)
{
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
    const QStringList renamed = folderListing(top());
    {
        const RunLock other(runRecordsFolder());
        ScriptedUser view;
        view.yesNoAnswers << true;
        runToEnd(RecoveryJob(), view);
        EXPECT_TRUE(view.questions.isEmpty());
        EXPECT_EQ(view.messages, QStringList{"另一个批量更名正在进行，请稍后再试"});
        EXPECT_EQ(folderListing(top()), renamed);
        EXPECT_EQ(readRunRecords(runRecordsFolder()).size(), 1);
    }
    ScriptedUser next;
    next.yesNoAnswers << true;
    runToEnd(RecoveryJob(), next);
    EXPECT_EQ(next.messages, QStringList{"已撤销：3 个文件恢复了原名"});
    EXPECT_EQ(folderListing(top()), before);
}

} // namespace
