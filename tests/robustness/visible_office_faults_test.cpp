// Steps 2 and 3 while the window step 2 left for the user is still open.
// These need an X display (the test suite runs under xvfb-run).
#include "steps/batch_rename_step.h"
#include "steps/naming_table_export.h"
#include "tests/common/office_test_support.h"
#include "tests/common/visible_office_test.h"

#include <QFile>

#include <gtest/gtest.h>


namespace {

class VisibleOffice : public VisibleOfficeTest {
protected:
    void SetUp() override
    {
        VisibleOfficeTest::SetUp();
        if (IsSkipped())
            return;
        maker = sharedWorkingOffice();
        ASSERT_NE(maker, nullptr);
    }

    QStringList runStep2(const QStringList &folders, const QStringList &names)
    {
        return VisibleOfficeTest::runStep2(workbook, folders, names);
    }
    int windowsOnTheWorkbook() { return windowsOn(workbook); }

    CalcOffice *maker = nullptr;
    const QString workbook = tree.path("table.xls");
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
