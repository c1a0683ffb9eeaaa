// Step 3's record and what undo and recovery say, on real trees, without an
// office: rows are handed to step 3 as read.
#include "steps/batch_rename_step.h"
#include "steps/undo_step.h"
#include "tests/common/cut_off_run.h"
#include "tests/common/recording_rename_view.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace {

struct ScriptedUndoView : UndoView {
    QList<bool> answers;
    QStringList questions;
    QStringList messages;
    bool askYesNo(const QString &question) override
    {
        questions << question;
        return !answers.isEmpty() && answers.takeFirst();
    }
    void showMessage(const QString &text) override { messages << text; }
};

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
        RecordingRenameView view;
        renameReadRows(rows(), "/t/names.xls", view);
        ASSERT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    }
    // Undo with the given answer to its question.
    ScriptedUndoView undo(bool answer)
    {
        ScriptedUndoView view;
        view.answers << answer;
        undoLastRun(view);
        return view;
    }

    TempTree tree;
    QStringList before;
};

const QString timePattern = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");

TEST_F(UndoStep, UndoAsksThenPutsTheLastRunBackOnce)
{
    EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
    ASSERT_NO_FATAL_FAILURE(stepThree());

    const ScriptedUndoView declined = undo(false);
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

    const ScriptedUndoView view = undo(true);

    EXPECT_EQ(view.messages, QStringList{"有 1 行未能撤销：\n" + top() + "甲 → c（更名后的位置现在是另一个文件）"});
    EXPECT_EQ(folderListing(top()), QStringList({"a=a", "b=b", "甲=new"}));
}

// No file is renamed without a record to take it back.
TEST_F(UndoStep, StepThreeWithoutItsRecordRenamesNothing)
{
    const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
    tree.makeFile("state", "a file where the records' folder would go");
    qputenv("XDG_STATE_HOME", tree.path("state").toLocal8Bit());
    RecordingRenameView view;
    renameReadRows(rows(), "/t/names.xls", view);
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
    ScriptedUndoView view;
    view.answers << true;

    offerRecoveryOfCutOffRuns(view);

    ASSERT_EQ(view.questions.size(), 1);
    EXPECT_TRUE(QRegularExpression("^上次批量更名（" + timePattern + "）在完成前中断了。现在把已更名的 3 个文件恢复原名吗？$")
                    .match(view.questions[0])
                    .hasMatch())
        << view.questions[0].toStdString();
    EXPECT_EQ(view.messages, QStringList{"已撤销：3 个文件恢复了原名"});
    EXPECT_EQ(folderListing(top()), before);

    ScriptedUndoView again;
    offerRecoveryOfCutOffRuns(again);
    EXPECT_TRUE(again.questions.isEmpty());
    EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
}

// 否 leaves the run as it stands, marked as cut off, for undo to take back.
TEST_F(UndoStep, CutOffRunLeftOnNoCanBeUndoneLater)
{
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
    ScriptedUndoView view;
    offerRecoveryOfCutOffRuns(view);
    EXPECT_EQ(view.questions.size(), 1);
    EXPECT_TRUE(view.messages.isEmpty());
    EXPECT_EQ(folderListing(top()), QStringList({"a=b", "b=a", "甲=c"}));

    ScriptedUndoView again;
    offerRecoveryOfCutOffRuns(again);
    EXPECT_TRUE(again.questions.isEmpty());
    const ScriptedUndoView undone = undo(true);
    EXPECT_TRUE(undone.questions.value(0).endsWith("3 个文件将恢复原名。")) << undone.questions.value(0).toStdString();
    EXPECT_EQ(undone.messages, QStringList{"已撤销：3 个文件恢复了原名"});
    EXPECT_EQ(folderListing(top()), before);
}

} // namespace
