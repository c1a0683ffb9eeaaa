// Step 3's record and what undo and recovery say, on real trees, without an
// office: rows are handed to step 3 as read.
#include "rename/recorded_run.h"
#include "rename/rename_no_replace.h"
#include "rename/run_lock.h"
#include "rename/run_record_folder.h"
#include "rename/run_restore.h"
#include "steps/recovery_job.h"
#include "steps/step_three_job.h"
#include "steps/undo_job.h"
#include "steps/undo_step.h"
#include "tests/common/cut_off_run.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/wait.h>
#include <unistd.h>

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

// A recovery stopped before its first rename (取消, or the window closed,
// which stops it the same way) puts nothing back and leaves the run for
// undo; the next start offers it again, until 是 or 否 settles it.
TEST_F(UndoStep, RecoveryStoppedIsOfferedAgainAtTheNextStart)
{
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
    {
        CutOffRunsRecovery recovery;
        recovery.begin();
        ASSERT_TRUE(recovery.question().has_value());
        WorkControl stopped;
        stopped.requestStop();
        recovery.answer(true, &stopped);
        EXPECT_EQ(recovery.takeMessages(), QStringList{"已取消：0 / 3 个文件已恢复原名；其余的文件下次启动时再询问"});
        EXPECT_FALSE(recovery.question().has_value());
        EXPECT_EQ(folderListing(top()), QStringList({"a=b", "b=a", "甲=c"}));
    }
    EXPECT_TRUE(undo(false).questions.value(0).endsWith("3 个文件将恢复原名。")) << "undo may take it back meanwhile";

    ScriptedUser next;
    runToEnd(RecoveryJob(), next);
    ASSERT_EQ(next.questions.size(), 1);
    EXPECT_TRUE(next.questions[0].endsWith("现在把已更名的 3 个文件恢复原名吗？")) << next.questions[0].toStdString();

    expectLeftForUndo();
}

// Carries out, in a child, the first `renames` system renames of an undo of
// the newest step-3 run (as undo plans it) and ends before the undo's end
// line, as an undo killed half way leaves it.
bool leaveUndoCutOffAfter(qsizetype renames)
{
    const pid_t child = fork();
    if (child == 0) {
        QList<RunRecord> records = readRunRecords(runRecordsFolder());
        records.removeIf([](const RunRecord &record) { return record.kind != RunKind::Step3; });
        if (records.isEmpty() || !readRunSteps(records[0]))
            _exit(1);
        QList<RestoringRename> back;
        for (const LocatedEntry &entry : locateRunEntries(records[0])) {
            if (entry.awayFromOldName()) {
                const QFileInfo current(entry.currentPath);
                back.append({current.path() + u'/', current.fileName(), QFileInfo(entry.originalPath).fileName(),
                             entry.entry});
            }
        }
        const RenamePlan plan = planRestoringRenames(back);
        RecordedRun undo(plan, runRecordsFolder(), RunKind::Restore, records[0].fileName(), records[0].workbook);
        if (!undo.write().ok() || !undo.waitUntilDurable().ok())
            _exit(1);
        qsizetype done = 0;
        forEachPlannedStep(plan, [&](qint64, const EntryId &, const QString &oldPath, const QString &newPath) {
            if (done++ < renames && !renameNoReplace(oldPath, newPath).ok())
                _exit(1);
        });
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An undo cut off is offered as the undo it is, and 是 finishes it: the
// files end under their names from before step 3, none under a temporary
// name, and the run counts as undone. Cut off after each of its renames (a
// swap through a temporary name, and a single rename), of a run that ended
// and of a run that was itself cut off and being recovered at start: one
// question either way.
TEST_F(UndoStep, CutOffUndoIsFinishedAtTheNextStart)
{
    const QRegularExpression question("^上次撤销更名（" + timePattern +
                                      "）在完成前中断了。现在完成撤销，把其余 (\\d) 个文件恢复原名吗？$");
    for (const bool runCutOff : {false, true}) {
        for (qsizetype renames = 1; renames <= 4 && !HasFailure(); ++renames) {
            SCOPED_TRACE((runCutOff ? "recovery of a run cut off, " : "undo of a run, ") + std::to_string(renames) +
                         " renames done");
            if (runCutOff) {
                ASSERT_TRUE(leaveRunCutOffAfterItsRenames(rows()));
            } else {
                ASSERT_NO_FATAL_FAILURE(stepThree());
            }
            ASSERT_TRUE(leaveUndoCutOffAfter(renames));

            ScriptedUser start;
            start.yesNoAnswers << true;
            runToEnd(RecoveryJob(), start);

            if (renames < 4) {
                ASSERT_EQ(start.questions.size(), 1);
                const QRegularExpressionMatch asked = question.match(start.questions[0]);
                ASSERT_TRUE(asked.hasMatch()) << start.questions[0].toStdString();
                EXPECT_EQ(start.messages, QStringList{"已完成撤销：" + asked.captured(1) + " 个文件恢复了原名"});
            } else {
                EXPECT_TRUE(start.questions.isEmpty()) << "all renamed, only its end missing";
                EXPECT_TRUE(start.messages.isEmpty());
            }
            EXPECT_EQ(folderListing(top()), before);
            EXPECT_EQ(undo(true).messages, QStringList{"没有可以撤销的批量更名"});
            ScriptedUser again;
            runToEnd(RecoveryJob(), again);
            EXPECT_TRUE(again.questions.isEmpty());
        }
    }
}

// Records the program cannot read (a newer format, a damaged one) are said
// once, where they are kept, and kept; one being begun this minute is not.
TEST_F(UndoStep, UnreadableRecordsAreSaidOnceAndKept)
{
    ASSERT_NO_FATAL_FAILURE(stepThree());
    const QString folder = runRecordsFolder();
    const QStringList unreadable{folder + "/20991231-235959-000-1-000000.txt", folder + "/garbage.txt"};
    const auto write = [](const QString &path, const QByteArray &content, qint64 secondsAgo) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
        ASSERT_TRUE(file.flush());
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
    };
    ASSERT_NO_FATAL_FAILURE(write(unreadable[0], "quillmere run record 2\nkind\tstep3\n", 120));
    ASSERT_NO_FATAL_FAILURE(write(unreadable[1], "\x01\x02 not a record", 120));
    ASSERT_NO_FATAL_FAILURE(write(folder + "/being-begun.txt", "quillmere run rec", 0));

    ScriptedUser first;
    runToEnd(RecoveryJob(), first);
    EXPECT_EQ(first.messages, QStringList{"有 2 份更名记录无法读取（可能由较新版本的本程序写下，或已损坏），"
                                          "其中记下的批量更名无法撤销或恢复。记录仍保存在：\n" +
                                          unreadable.join('\n')});
    ScriptedUser second;
    runToEnd(RecoveryJob(), second);
    EXPECT_TRUE(second.messages.isEmpty());
    EXPECT_EQ(undo(true).messages, QStringList{"已撤销：3 个文件恢复了原名"});
    for (const QString &path : unreadable)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

// Step 3 stopped before its first rename renames nothing and leaves nothing
// to undo or to recover.
// Step 3 asks once before it renames part of a table: 返回修改, the
// default, renames nothing and writes no record; going on renames the rest as
// a run of the whole table would; hidden rows keep their own choice in the
// same question; and a second click leaves out what the first run did.
TEST_F(UndoStep, StepThreeAsksBeforeAPartialRunAndReturnsToEditByDefault)
{
    const QList<NamingTableRow> collision{{2, top(), "a", "x"}, {3, top(), "b", "x"}, {4, top(), "c", "c.txt"}};
    ScriptedUser back;
    runToEnd(StepThreeJob(collision, "/t/names.xls"), back);
    ASSERT_EQ(back.questions.size(), 1);
    EXPECT_TRUE(back.questions[0].contains(QStringLiteral("第 2 行和第 3 行：新文件名相同"))) << back.questions[0].toStdString();
    EXPECT_TRUE(back.messages.isEmpty());
    EXPECT_EQ(folderListing(top()), before);
    EXPECT_TRUE(readRunRecords(runRecordsFolder()).isEmpty()) << "no record written";

    QList<NamingTableRow> hidden = collision;
    hidden[2].hidden = true;
    ScriptedUser shownOnly;
    shownOnly.choiceAnswers << QStringLiteral("只更名显示的行");
    runToEnd(StepThreeJob(hidden, "/t/names.xls"), shownOnly);
    EXPECT_TRUE(shownOnly.questions.value(0).contains(QStringLiteral("1 行被隐藏或筛选掉"))) << shownOnly.questions.value(0).toStdString();
    EXPECT_EQ(folderListing(top()), QStringList({"b=b", "c=c", "x=a"})) << "the first row takes the name; the hidden row stays";

    ScriptedUser again;
    again.choiceAnswers << QStringLiteral("更名其余各行（含隐藏的行）");
    runToEnd(StepThreeJob(hidden, "/t/names.xls"), again);
    EXPECT_TRUE(again.questions.value(0).contains(QStringLiteral("1 行上次已经更名，这次不再更名"))) << again.questions.value(0).toStdString();
    EXPECT_EQ(folderListing(top()), QStringList({"b=b", "c.txt=c", "x=a"})) << "row 2 is not renamed again";
}

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
