// Step 1 through the real window on a tree whose listing is slowed, as a
// share over a slow link would slow it: CTest preloads slow_file_system_shim.c,
// which delays every read of a folder below the tree while the test asks it to.
#include "tests/app/beside_window.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <dirent.h>

namespace {

constexpr int delayPerReadMs = 2;

// About 1,300 slowed reads of 2 ms: several seconds of listing.
constexpr int folders = 30;
constexpr int filesPerFolder = 40;
constexpr int entries = folders * (filesPerFolder + 1);

class StepOneBeside : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int folder = 0; folder < folders; ++folder) {
            for (int file = 0; file < filesPerFolder; ++file)
                tree.makeFile(QString("d%1/f%2.dwg").arg(folder).arg(file));
        }
        QElapsedTimer listing;
        listing.start();
        DIR *top = opendir(QFile::encodeName(tree.root()).constData());
        ASSERT_NE(top, nullptr);
        int reads = 0;
        while (readdir(top))
            ++reads;
        closedir(top);
        ASSERT_GE(listing.elapsed(), reads * delayPerReadMs) << "run through CTest, which preloads the slowing library";
    }

    QProgressDialog *progress() const { return progressOf(form); }
    bool progressShown() const { return ::progressShown(form); }

    // Starts step 1 on the slowed tree.
    void startScan()
    {
        dialogs.folderAnswers << tree.root();
        form.Command1->click();
    }

    void expectStepControlsEnabled(bool enabled)
    {
        for (const QPushButton *button : {form.Command1, form.Command2, form.Command3})
            EXPECT_EQ(button->isEnabled(), enabled) << button->objectName().toStdString();
        EXPECT_EQ(form.undo->isEnabled(), enabled);
        EXPECT_TRUE(form.help->isEnabled());
        EXPECT_TRUE(form.about->isEnabled());
    }

    TempTree tree;
    ScriptedDialogs dialogs;
    MainWindowUnderTest form{dialogs};
    // Made after the tree, so gone before it is removed.
    SlowFileSystem slowed{"QUILLMERE_SLOW_LISTING", delayPerReadMs, tree.root()};
};

TEST_F(StepOneBeside, ListsEverythingAtTheEndWhileTheWindowKeepsAnswering)
{
    form.show();
    const TickGaps gaps;
    startScan();
    expectStepControlsEnabled(false);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr) << "busy pointer";

    ASSERT_TRUE(waitUntil([&] { return progressShown(); }));
    EXPECT_EQ(progress()->parentWidget(), &form);
    EXPECT_EQ(progress()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(progress()->findChild<QPushButton *>()->text(), "取消");
    EXPECT_EQ(progress()->maximum(), 0) << "a busy bar, as the total is not known";
    const QRegularExpression counting("^正在查找：已查看 (\\d+) 个文件夹，找到 (\\d+) 个文件$");
    ASSERT_TRUE(waitUntil([&] { return counting.match(progress()->labelText()).captured(2).toInt() > 0; }))
        << progress()->labelText().toStdString();
    EXPECT_EQ(rowsShown(form.List1), 0) << "nothing is listed before the end";

    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_EQ(rowsShown(form.List1), entries);
    EXPECT_EQ(rowsShown(form.List2), entries);
    EXPECT_TRUE(form.Text1->toPlainText().startsWith(QString("查找到的文件数：%1").arg(folders * filesPerFolder)));
    EXPECT_FALSE(progressShown());
    expectStepControlsEnabled(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_LT(gaps.largestMs(), 100);
    EXPECT_EQ(dialogs.progressWindows, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(StepOneBeside, CancelStopsWithinHalfASecondAndListsNothing)
{
    form.show();
    form.Text1->setPlainText("earlier report");
    const TickGaps gaps;
    startScan();
    ASSERT_TRUE(waitUntil([&] { return progressShown(); }));

    QElapsedTimer answered;
    answered.start();
    progress()->findChild<QPushButton *>()->click();
    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_LT(answered.elapsed(), 500);

    EXPECT_EQ(form.Text1->toPlainText(), "已取消查找");
    EXPECT_EQ(rowsShown(form.List1), 0);
    EXPECT_EQ(rowsShown(form.List2), 0);
    EXPECT_FALSE(progressShown());
    expectStepControlsEnabled(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_LT(gaps.largestMs(), 100);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // The next scan runs afresh, to its end.
    qunsetenv("QUILLMERE_SLOW_LISTING");
    startScan();
    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_EQ(rowsShown(form.List2), entries);
}

TEST_F(StepOneBeside, ClosingTheWindowCancelsTheScanAndAsksNothing)
{
    form.show();
    startScan();
    ASSERT_FALSE(form.Command1->isEnabled());

    QElapsedTimer closing;
    closing.start();
    EXPECT_TRUE(form.close());
    EXPECT_LT(closing.elapsed(), 500);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(rowsShown(form.List2), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
