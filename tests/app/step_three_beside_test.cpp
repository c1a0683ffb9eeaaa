// Step 3 and undo through the real window, with a real hidden office reading
// a real table, on a tree whose renames are slowed as on a share over a slow
// link: CTest preloads slow_file_system_shim.c, which delays every rename
// below the tree while the test asks it to.
#include "rename/run_record_folder.h"
#include "sheet/naming_table_layout.h"
#include "tests/app/beside_window.h"
#include "tests/common/office_test_support.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <memory>

namespace {

// The shim is in this process by now. The offices the test starts must not
// load it, nor a sanitizer runtime preloaded before it, which stops an
// office as it starts.
const bool officesStartWithoutPreload = [] { return unsetenv("LD_PRELOAD") == 0; }();

constexpr int delayPerRenameMs = 4;
// About six seconds of slowed renames.
constexpr int files = 1500;

class StepThreeBeside : public ::testing::Test {
protected:
    void SetUp() override
    {
        QList<QStringList> table{NamingTable::headerTexts()};
        for (int i = 0; i < files; ++i) {
            tree.makeFile(QString("d/f%1.dwg").arg(i));
            table.append({QString::number(i + 1), tree.path("d") + '/', QString("f%1.dwg").arg(i), QString("g%1.dwg").arg(i)});
        }
        CalcOffice *office = sharedWorkingOffice();
        ASSERT_NE(office, nullptr);
        makeWorkbook(*office, workbook, table);
        chooseWorkbookWithNoOfficeInstalled(form, dialogs, workbook);
        form.show();
    }

    qsizetype filesNamed(const QString &pattern) const
    {
        return QDir(tree.path("d")).entryList({pattern}, QDir::Files).size();
    }

    // Starts step 3 and waits until the renames are under way and shown,
    // with at least `renamed` done.
    void startRenamesAndWaitForProgress(int renamed = 1)
    {
        form.Command3->click();
        EXPECT_FALSE(form.Command1->isEnabled());
        EXPECT_FALSE(form.undo->isEnabled());
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr) << "busy pointer";
        const QRegularExpression renaming(QString("^正在更名：(\\d+) / %1$").arg(files));
        ASSERT_TRUE(waitUntil([&] { return progressShown(form) && renaming.match(progressOf(form)->labelText()).captured(1).toInt() >= renamed; },
                              std::chrono::seconds(60)));
    }

    QList<RunRecord> records() const { return readRunRecords(runRecordsFolder()); }

    // The run's record ends as stopped by the user, and the next start
    // offers nothing back.
    void expectOneRecordStoppedAfter(qsizetype renamed) const
    {
        const QList<RunRecord> all = records();
        ASSERT_EQ(all.size(), 1);
        EXPECT_EQ(all[0].end, RunEnd::Stopped);
        EXPECT_EQ(all[0].renamedEntries, renamed);
        EXPECT_TRUE(cutOffRuns(all).isEmpty());
    }

    TempTree tree;
    const QString workbook = tree.path("table.xls");
    ScriptedDialogs dialogs;
    MainWindowUnderTest form{dialogs};
    SlowFileSystem slowed{"QUILLMERE_SLOW_RENAMES", delayPerRenameMs, tree.path("d")};
};

TEST_F(StepThreeBeside, CancelWhileRenamingKeepsWhatWasDoneAndUndoTakesBackExactlyThat)
{
    const TickGaps gaps;
    // Enough done that undoing it takes seconds too.
    ASSERT_NO_FATAL_FAILURE(startRenamesAndWaitForProgress(600));

    const qint64 answered = cancelAndTimeTheAnswer(form);
    ASSERT_GE(answered, 0);
    EXPECT_LT(answered, 500);
    EXPECT_LT(gaps.largestMs(), 100);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    const qsizetype renamed = filesNamed("g*.dwg");
    EXPECT_GT(renamed, 0);
    EXPECT_LT(renamed, files);
    EXPECT_EQ(renamed + filesNamed("f*.dwg"), files) << "every file has exactly one name";
    ASSERT_EQ(dialogs.messages, QStringList{QString("已取消：%1 / %2 个文件已更名；可以用【撤销更名】恢复").arg(renamed).arg(files)});
    EXPECT_EQ(form.List3->count(), renamed);
    EXPECT_EQ(form.Text2->text(), QString("批量更名的文件数：%1").arg(renamed));
    expectOneRecordStoppedAfter(renamed);

    // Undo, cancelled in turn while it restores.
    dialogs.messages.clear();
    dialogs.yesNoAnswers << true;
    form.undo->trigger();
    const QRegularExpression restoring(QString("^正在撤销：(\\d+) / %1$").arg(renamed));
    ASSERT_TRUE(waitUntil([&] { return progressShown(form) && restoring.match(progressOf(form)->labelText()).captured(1).toInt() > 0; }));
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].endsWith(QString("%1 个文件将恢复原名。").arg(renamed)));
    const qint64 undoAnswered = cancelAndTimeTheAnswer(form);
    ASSERT_GE(undoAnswered, 0);
    EXPECT_LT(undoAnswered, 500);
    const qsizetype restored = renamed - filesNamed("g*.dwg");
    EXPECT_GT(restored, 0);
    EXPECT_LT(restored, renamed);
    EXPECT_EQ(dialogs.messages, QStringList{QString("已取消：%1 / %2 个文件已恢复原名；其余的可以再用【撤销更名】恢复").arg(restored).arg(renamed)});

    // The rest is undone later.
    qunsetenv("QUILLMERE_SLOW_RENAMES");
    dialogs.messages.clear();
    dialogs.yesNoAnswers << true;
    form.undo->trigger();
    ASSERT_TRUE(waitForStepToEnd(form));
    ASSERT_EQ(dialogs.questions.size(), 2);
    EXPECT_TRUE(dialogs.questions[1].endsWith(QString("%1 个文件将恢复原名。").arg(renamed - restored)));
    EXPECT_EQ(dialogs.messages, QStringList{QString("已撤销：%1 个文件恢复了原名").arg(renamed - restored)});
    EXPECT_EQ(filesNamed("f*.dwg"), files);
    EXPECT_LT(gaps.largestMs(), 100);
}

TEST_F(StepThreeBeside, CancelWhileReadingRenamesNothing)
{
    const TickGaps gaps;
    form.Command3->click();
    // The hidden office takes seconds to start.
    ASSERT_TRUE(waitUntil([&] { return progressShown(form); }));
    EXPECT_EQ(progressOf(form)->labelText(), "正在读取命名表…");
    EXPECT_EQ(progressOf(form)->maximum(), 0) << "a busy bar";

    const qint64 answered = cancelAndTimeTheAnswer(form);
    ASSERT_GE(answered, 0);
    EXPECT_LT(answered, 500);
    EXPECT_LT(gaps.largestMs(), 100);
    EXPECT_EQ(dialogs.messages, QStringList{"已取消，没有文件被更名"});
    EXPECT_EQ(filesNamed("f*.dwg"), files);
    EXPECT_EQ(form.List3->count(), 0);
    EXPECT_TRUE(records().isEmpty());
}

TEST_F(StepThreeBeside, ClosingWhileRenamingEndsTheRecordAndAsksNothing)
{
    ASSERT_NO_FATAL_FAILURE(startRenamesAndWaitForProgress());
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());

    const qsizetype renamed = filesNamed("g*.dwg");
    EXPECT_EQ(renamed + filesNamed("f*.dwg"), files);
    expectOneRecordStoppedAfter(renamed);
    EXPECT_EQ(form.List3->count(), renamed);
}

// A rename on a share that stops answering: 取消 cannot end that call, and
// the window keeps answering and says why the step goes on; closing does not
// wait for the share and says what that leaves, a run that the next start
// offers to put back. Once the share answers, the run ends as stopped.
TEST_F(StepThreeBeside, ShareThatStopsAnsweringHoldsNeitherTheWindowNorItsClosing)
{
    const HungRenames share(tree.path("gate"), tree.path("d"));
    ASSERT_NO_FATAL_FAILURE(startRenamesAndWaitForProgress(10));
    share.hang();
    ASSERT_TRUE(share.waitForARenameToHang());

    const TickGaps gaps;
    progressOf(form)->findChild<QPushButton *>()->click();
    ASSERT_TRUE(waitUntil([&] {
        return progressShown(form) && progressOf(form)->labelText() == "正在等待共享文件夹响应…已更名的文件可以用【撤销更名】恢复";
    }));
    EXPECT_EQ(progressOf(form)->findChild<QPushButton *>(), nullptr) << "no second 取消";
    EXPECT_FALSE(form.Command3->isEnabled());
    EXPECT_LT(gaps.largestMs(), 100);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(dialogs.messages, QStringList{"共享文件夹没有响应，批量更名停在中途，程序不再等待。下次启动本程序时，已更名的文件可以恢复原名。"});
    ASSERT_EQ(records().size(), 1);
    EXPECT_EQ(records()[0].end, RunEnd::Running) << "a process ended now leaves a run the next start offers back";

    share.release();
    ASSERT_TRUE(waitUntil([&] { return !records().isEmpty() && records()[0].end == RunEnd::Stopped; }));
    const qsizetype renamed = filesNamed("g*.dwg");
    EXPECT_EQ(renamed + filesNamed("f*.dwg"), files) << "every file has exactly one name";
    expectOneRecordStoppedAfter(renamed);
}

// 取消 while step 3's office starts, 【3】 again and 取消 again: the second step
// waits for the first read, let go of, inside its own piece, so its 取消 is
// answered at once too. The first start is held until the test lets it go.
TEST_F(StepThreeBeside, SecondCancelWhileAnEarlierReadStillRunsIsAnsweredAtOnce)
{
    std::promise<void> letGo;
    const std::shared_future<void> released = letGo.get_future().share();
    const auto startsEntered = std::make_shared<std::atomic<int>>(0);
    MainWindowUnderTest held(dialogs, visibleOfficeStarter(), [released, startsEntered] {
        ++*startsEntered;
        released.wait();
        return hiddenOfficeStarter()();
    });
    // Before the window goes, which waits for the reads it let go of.
    const auto releaseAtEnd = qScopeGuard([&] { letGo.set_value(); });
    chooseWorkbookWithNoOfficeInstalled(held, dialogs, workbook);
    dialogs.messages.clear();

    held.Command3->click();
    ASSERT_TRUE(waitUntil([&] { return *startsEntered == 1 && progressShown(held); }));
    const qint64 first = cancelAndTimeTheAnswer(held);
    ASSERT_GE(first, 0);
    EXPECT_LT(first, 500);

    held.Command3->click();
    ASSERT_TRUE(waitUntil([&] { return progressShown(held); }));
    const TickGaps gaps;
    const qint64 second = cancelAndTimeTheAnswer(held);
    ASSERT_GE(second, 0);
    EXPECT_LT(second, 500);
    EXPECT_LT(gaps.largestMs(), 100);
    EXPECT_EQ(*startsEntered, 1) << "the second step waited for the first read";
    EXPECT_EQ(dialogs.messages, QStringList({"已取消，没有文件被更名", "已取消，没有文件被更名"}));
    EXPECT_TRUE(held.Command3->isEnabled());
    EXPECT_EQ(filesNamed("f*.dwg"), files);
    EXPECT_TRUE(records().isEmpty());
}

} // namespace

namespace {

// The question about hidden rows comes between the read beside the window and
// the renames, on the window's thread, and stays uncovered while the user
// takes seconds to read it: 否 leaves the hidden row's file alone, 是 renames
// it too. 撤销更名's question, as long unanswered, then takes the run back.
TEST(StepThreeThroughTheWindow, HiddenRowIsRenamedOnlyWhenTheUserSaysSo)
{
    const struct {
        bool yes;
        QStringList named;
    } answers[] = {{false, {"hidden.txt", "shown2.txt"}}, {true, {"hidden2.txt", "shown2.txt"}}};
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer.yes);
        TempTree tree;
        tree.makeFile("shown.txt", "s");
        tree.makeFile("hidden.txt", "h");
        const QString folder = flatTextCell(tree.root() + "/");
        const QString workbook = tree.path("table.fods");
        writeFileContent(workbook, flatWorkbook({flatTextCell("目录") + flatTextCell("文件名") + flatTextCell("新文件名"),
                                                 folder + flatTextCell("shown.txt") + flatTextCell("shown2.txt"),
                                                 folder + flatTextCell("hidden.txt") + flatTextCell("hidden2.txt")},
                                                {.hiddenRows = {2}}));
        ScriptedDialogs dialogs;
        MainWindowUnderTest form{dialogs};
        chooseWorkbookWithNoOfficeInstalled(form, dialogs, workbook);
        dialogs.questionsOpenFor = std::chrono::seconds(3);
        dialogs.yesNoAnswers = {answer.yes};

        form.Command3->click();
        ASSERT_TRUE(waitForStepToEnd(form));

        EXPECT_EQ(dialogs.questions, QStringList{"命名表中有 1 行被隐藏或筛选掉，它们也填写了新文件名。也更名这些行吗？"});
        EXPECT_EQ(dialogs.progressWhileAsking, 0);
        EXPECT_EQ(QDir(tree.root()).entryList({"*.txt"}, QDir::Files, QDir::Name), answer.named);
        EXPECT_EQ(rowsShown(form.List3), answer.yes ? 2 : 1);
        if (!answer.yes)
            continue;

        dialogs.questions.clear();
        dialogs.messages.clear();
        dialogs.yesNoAnswers = {true};
        form.undo->trigger();
        ASSERT_TRUE(waitForStepToEnd(form));
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_TRUE(dialogs.questions[0].endsWith("2 个文件将恢复原名。")) << dialogs.questions[0].toStdString();
        EXPECT_EQ(dialogs.progressWhileAsking, 0);
        EXPECT_EQ(dialogs.messages, QStringList{"已撤销：2 个文件恢复了原名"});
        EXPECT_EQ(QDir(tree.root()).entryList({"*.txt"}, QDir::Files, QDir::Name), QStringList({"hidden.txt", "shown.txt"}));
    }
}

} // namespace
