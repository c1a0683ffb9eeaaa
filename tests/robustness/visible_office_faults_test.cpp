// Steps 2 and 3 while the window step 2 left for the user is still open.
// These need an X display (the test suite runs under xvfb-run).
#include "steps/batch_rename_step.h"
#include "steps/naming_table_export.h"
#include "tests/common/office_test_support.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>


namespace {

class VisibleOffice : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xwininfo").isEmpty())
            GTEST_SKIP() << "needs an X display (run under xvfb-run) and xwininfo";
        maker = sharedWorkingOffice();
        ASSERT_NE(maker, nullptr);
        // The visible office runs in the user's profile; give it a fresh one.
        tree.makeFolder("home");
        savedHome = qgetenv("HOME");
        qputenv("HOME", tree.path("home").toLocal8Bit());
    }

    // The user closes the window: played by ending the office left for them.
    void TearDown() override
    {
        if (IsSkipped())
            return;
        qputenv("HOME", savedHome);
        EXPECT_TRUE(endVisibleOfficesLeftToTheUser());
    }

    QStringList runStep2(const QStringList &folders, const QStringList &names)
    {
        QStringList messages;
        QElapsedTimer timer;
        timer.start();
        exportNamingTable(visibleOfficeStarter(), workbook, foundEntries(folders, names), [&](const QString &text) { messages << text; });
        EXPECT_LT(timer.elapsed(), 60000);
        return messages;
    }

    // Waits for the window to be mapped; the office shows it a moment after
    // the step has returned.
    int windowsOnTheWorkbook()
    {
        int shown = 0;
        waitUntil([&] {
            shown = int(calcWindowsShowing(QFileInfo(workbook).fileName()).size());
            return shown > 0;
        });
        return shown;
    }

    CalcOffice *maker = nullptr;
    TempTree tree;
    const QString workbook = tree.path("table.xls");
    QByteArray savedHome;
};

TEST_F(VisibleOffice, SecondStepTwoOnTheOpenWorkbookReusesItsWindow)
{
    makeWorkbook(*maker, workbook);
    EXPECT_TRUE(runStep2({"/a/"}, {"first.dwg"}).isEmpty());
    ASSERT_GT(windowsOnTheWorkbook(), 0);

    const QStringList messages = runStep2({"/a/", "/b/"}, {"second.dwg", "third.dwg"});

    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_GT(windowsOnTheWorkbook(), 0);
    EXPECT_EQ(visibleOfficesOfThisProcess("soffice.bin").size(), 1) << "one office serves both runs";
}

TEST_F(VisibleOffice, StepThreeReadsTheSavedTableWhileStepTwosWindowHoldsIt)
{
    tree.makeFile("files/old.txt", "content");
    const QString folder = tree.path("files") + "/";
    makeWorkbook(*maker, workbook, {{"序号", "目录", "文件名", "新文件名"}, {"", folder, "old.txt", "new.txt"}});
    ASSERT_TRUE(runStep2({folder}, {"old.txt"}).isEmpty());
    ASSERT_GT(windowsOnTheWorkbook(), 0);

    RecordingRenameView view;
    runStepThreeInOwnOffice(hiddenOfficeStarter(), workbook, view);

    EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(view.renamed, QStringList{"new.txt"});
    EXPECT_TRUE(QFile::exists(folder + "new.txt"));
    EXPECT_FALSE(QFile::exists(folder + "old.txt"));
    EXPECT_GT(windowsOnTheWorkbook(), 0) << "the user's window stays";
}

} // namespace
