// Steps 2 and 3 while the window step 2 left for the user is still open, and
// step 2 while the user's office asks about the workbook before showing it.
// These need an X display with a window manager (scripts/with-desktop.sh).
#include "steps/step_three_job.h"
#include "steps/naming_table_export.h"
#include "steps/standby_office.h"
#include "tests/common/office_test_support.h"
#include "tests/common/visible_office_test.h"
#include "tests/common/wait_until.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    StandbyOffice ownOffice(hiddenOfficeStarter());
    runToEnd(StepThreeJob(ownOffice, workbook), view);

    EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(view.renamed, QStringList{"new.txt"});
    EXPECT_TRUE(QFile::exists(folder + "new.txt"));
    EXPECT_FALSE(QFile::exists(folder + "old.txt"));
    EXPECT_GT(windowsOnTheWorkbook(), 0) << "the user's window stays";
}

} // namespace

namespace {

// The office asks the user about a workbook before it shows it, in a dialog
// of its own; step 2 waits for the answer, whatever it is. The user already
// has a document of their own open in the office, which must outlive
// whatever step 2 gives up on. Their profile asks before running a
// document's macros (macro security "medium").
class OfficeQuestion : public VisibleOfficeTest {
protected:
    void SetUp() override
    {
        VisibleOfficeTest::SetUp();
        if (IsSkipped())
            return;
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool to answer the office's questions";
        tree.makeFile("home/.config/libreoffice/4/user/registrymodifications.xcu",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\">\n"
                      "<item oor:path=\"/org.openoffice.Office.Common/Security/Scripting\">"
                      "<prop oor:name=\"MacroSecurityLevel\" oor:op=\"fuse\"><value>1</value></prop></item>\n"
                      "</oor:items>\n");
        ASSERT_TRUE(runStep2(usersDocument, {"X/"}, {"a"}).isEmpty());
        ASSERT_GT(windowsOn(usersDocument), 0);
    }

    // Waits for the office to ask in a window titled as one of `titles`;
    // its X window id, or empty with the test failed.
    QString question(const QStringList &titles)
    {
        QString asked;
        EXPECT_TRUE(waitUntil([&] { return !(asked = windowTitled(titles)).isEmpty(); }))
            << "the office never asked: " << titles.join(", ").toStdString();
        return asked;
    }

    void expectNotOpened(const QStringList &messages)
    {
        ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法打开工作簿，命名表没有写入"))) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(QStringLiteral("没有打开这个文件"))) << messages[0].toStdString();
        EXPECT_GT(windowsOn(usersDocument), 0) << "the user's office is left running with their document";
    }

    const QString usersDocument = tree.path("other.ods");
};

const QStringList passwordQuestion{"Enter Password", "输入密码"};

// The password is "quillmere".
TEST_F(OfficeQuestion, StepTwoWaitsForThePasswordAndWritesOnlyWhenItIsGiven)
{
    const QString cancelled = tree.path("cancelled.xls");
    const QString given = tree.path("given.xls");
    for (const QString &path : {cancelled, given})
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLMERE_ROBUSTNESS_DATA "/password.xls"), path));
    const QByteArray original = fileContent(cancelled);

    startStep2(cancelled, {"X/"}, {"a"});
    QString asked = question(passwordQuestion);
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_FALSE(stepTwoDone()) << "step 2 gave up while the office asked";
    EXPECT_TRUE(answerWindow(asked, {}, {"Escape"}));
    expectNotOpened(messagesOfStepTwo());
    EXPECT_EQ(fileContent(cancelled), original) << "nothing is written to a workbook not opened";

    startStep2(given, {"X/"}, {"a"});
    asked = question(passwordQuestion);
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_TRUE(answerWindow(asked, "quillmere", {"Return"}));
    const QStringList messages = messagesOfStepTwo();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_GT(windowsOn(given), 0);
    EXPECT_EQ(fileContent(given), original) << "the table stands unsaved in the window";
}

// A workbook cut off half way: the office offers to repair it, says it could
// not, then asks which filter to read it with. The user cancels each question.
TEST_F(OfficeQuestion, StepTwoSaysNotOpenedWhenTheUserDeclinesARepair)
{
    CalcOffice *maker = sharedWorkingOffice();
    ASSERT_NE(maker, nullptr);
    const QString path = tree.path("damaged.xlsx");
    makeWorkbook(*maker, path, {{"序号", "目录", "文件名", "新文件名"}, {"", "/a/", "b", "c"}});
    writeFileContent(path, fileContent(path).left(QFileInfo(path).size() / 2));
    const QByteArray damaged = fileContent(path);

    startStep2(path, {"X/"}, {"a"});
    // The repair questions are titled with the office's name and version.
    const QStringList questions{"^LibreOffice [0-9.]+$", "Filter Selection", "筛选器选择", "选择筛选器"};
    const QString repair = question(questions);
    ASSERT_FALSE(repair.isEmpty());
    EXPECT_FALSE(stepTwoDone()) << "step 2 gave up while the office asked";
    int answered = 0;
    EXPECT_TRUE(waitUntil([&] {
        if (const QString asked = windowTitled(questions); !asked.isEmpty() && !stepTwoDone())
            answered += answerWindow(asked, {}, {"Escape"}) ? 1 : 0;
        return stepTwoDone();
    }));
    EXPECT_GE(answered, 1);
    expectNotOpened(messagesOfStepTwo());
    EXPECT_TRUE(windowTitled(questions).isEmpty()) << "step 2 gave up while the office still asked";
    EXPECT_EQ(fileContent(path), damaged);
}

// A workbook holding a Basic macro: the office asks whether to run it, and
// step 2 writes the table once the user has answered.
TEST_F(OfficeQuestion, StepTwoGoesOnOnceTheUserAnswersTheMacroQuestion)
{
    const QString path = tree.path("macro.fods");
    const QString start = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:script="urn:oasis:names:tc:opendocument:xmlns:script:1.0" xmlns:ooo="http://openoffice.org/2004/office" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:scripts><office:script script:language="ooo:Basic"><ooo:libraries><ooo:library-embedded ooo:name="Standard">
<ooo:module ooo:name="Module1"><ooo:source-code>Sub Main
End Sub
</ooo:source-code></ooo:module></ooo:library-embedded></ooo:libraries></office:script></office:scripts>
<office:body><office:spreadsheet><table:table table:name="names"><table:table-row><table:table-cell/></table:table-row></table:table></office:spreadsheet></office:body>
</office:document>
)";
    writeFileContent(path, start.toUtf8());

    startStep2(path, {"X/"}, {"a"});
    const QString asked = question({"Security Warning", "安全警告"});
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_FALSE(stepTwoDone()) << "step 2 gave up while the office asked";
    // The user declines to run the macros; the workbook opens without them.
    EXPECT_TRUE(answerWindow(asked, {}, {"Escape"}));
    const QStringList messages = messagesOfStepTwo();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_GT(windowsOn(path), 0);
    EXPECT_EQ(fileContent(path), start.toUtf8()) << "the table stands unsaved in the window";
}

} // namespace
