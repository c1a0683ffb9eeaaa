#include "sheet/libreoffice/office_launch.h"
#include "steps/naming_table_export.h"
#include "tests/common/recording_table_view.h"
#include "tests/common/office_test_support.h"
#include "tests/common/temp_tree.h"
#include "tests/common/visible_office_test.h"
#include "tests/common/wait_until.h"
#include "steps/sheet_failure_texts.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSize>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using VisibleNamingTable = VisibleOfficeTest;

TEST_F(VisibleNamingTable, OpensAUsableCalcWindowAndTheSavedFileStaysReadable)
{
    CalcOffice *hidden = sharedWorkingOffice();
    ASSERT_NE(hidden, nullptr);
    const QString path = tree.path("visible.xls");
    makeWorkbook(*hidden, path, {{"", "", "", "kept"}});

    const QStringList messages = runStep2(path, {"X\\", "Y\\"}, {"a", "b"});
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    QSize shown;
    waitUntil([&] {
        for (const QSize &window : calcWindowsShowing(QFileInfo(path).fileName()))
            shown = shown.expandedTo(window);
        return !shown.isEmpty();
    });
    EXPECT_GE(shown.width(), 640);
    EXPECT_GE(shown.height(), 480);

    // Step 3 reads the saved file while the window still holds it open.
    ASSERT_TRUE(hidden->openWorkbook(path).ok());
    EXPECT_EQ(hidden->cellText(1, 4).value(), "kept");
    EXPECT_EQ(hidden->cellText(1, 2).value(), "") << "the window's table is not saved";
    EXPECT_TRUE(hidden->saveWorkbook().ok());
}

// The office saves the new workbook empty, in the format its name asks for,
// and the table stands in its window unsaved.
TEST_F(VisibleNamingTable, ANewWorkbookIsMadeInEachFormatAndShownWithTheTable)
{
    for (const QString name : {"新表.xls", "新表.xlsx", "新表.ods"}) {
        const QString path = tree.path(name);
        const QStringList messages = runStep2(path, {"X/"}, {"a"});
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        EXPECT_GT(windowsOn(path), 0) << name.toStdString();
        EXPECT_EQ(fileContent(path).left(4), name.endsWith(".xls") ? QByteArray("\xd0\xcf\x11\xe0") : QByteArray("PK\x03\x04"))
            << name.toStdString();
    }
}

// The office spells these names in its URLs in its own way; step 2 finds the
// document by the file it shows, new or existing, and a second run finds the
// window already showing it.
TEST_F(VisibleNamingTable, AwkwardlyNamedWorkbooksAreFoundInTheWindow)
{
    CalcOffice *maker = sharedWorkingOffice();
    ASSERT_NE(maker, nullptr);
    const QStringList names{"a[1].xls",      "b];c.xls",        "#hash.xls",           "100%.xlsx",
                            "%41%20.ods",    "two  spaces .xls", "中文 表格.xls",        "quote'\"&.xlsx",
                            "back\\slash.xls", "semi;colon[]#%.ods", "?*~$.xls",         "naïve Ω é.xlsx"};
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = tree.path(names[i]);
        const bool existing = i % 2 == 0;
        if (existing)
            makeWorkbook(*maker, path, {{"", "", "", "kept"}});
        QStringList messages = runStep2(path, {"X/"}, {"a"});
        EXPECT_TRUE(messages.isEmpty()) << names[i].toStdString() << ": " << messages.join('\n').toStdString();
        messages = runStep2(path, {"X/", "Y/"}, {"a", "b"});
        EXPECT_TRUE(messages.isEmpty()) << names[i].toStdString() << " again: " << messages.join('\n').toStdString();
        if (existing) {
            ASSERT_TRUE(maker->openWorkbookForReading(path).ok());
            EXPECT_EQ(maker->cellText(1, 4).value(), "kept") << "the table is not saved";
        }
    }
}

// A text file named .xls makes the office ask how to import it. Step 2 waits
// for as long as the question stays open, past the bound it keeps for an
// office that neither shows the file nor asks, and says the file was not
// opened when the user cancels. The office goes on running with the user's
// other document.
TEST_F(VisibleNamingTable, StepTwoWaitsWhileTheOfficeAsksAndSaysNotOpenedWhenTheUserCancels)
{
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs xdotool to answer the office's dialog";
    const QString other = tree.path("other.ods");
    ASSERT_TRUE(runStep2(other, {"X/"}, {"a"}).isEmpty());
    ASSERT_GT(windowsOn(other), 0);
    const QString path = tree.path("comma.xls");
    tree.makeFile("comma.xls", "folder,name,new\n/a/,b,c\n");

    startStep2(path, {"X/"}, {"a"});
    QString question;
    EXPECT_TRUE(waitUntil([&] { return !(question = windowTitled({"Text Import", "文本导入"})).isEmpty(); }))
        << "the office never asked about the text file";
    // Longer than step 2 waits for an office that shows nothing.
    waitUntil([&] { return stepTwoDone(); }, std::chrono::seconds(65));
    EXPECT_FALSE(stepTwoDone()) << "step 2 stopped waiting while the question was open";
    // The user cancels the question.
    if (!question.isEmpty()) {
        EXPECT_TRUE(answerWindow(question, {}, {"Escape"}));
    }
    const QStringList messages = messagesOfStepTwo();

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法打开工作簿"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("没有打开这个文件"))) << messages[0].toStdString();
    EXPECT_GT(windowsOn(other), 0) << "the user's office is left running with their document";
}

// The X window of the document window on `fileName`: the largest of those
// titled with its name, since the office also keeps tiny windows under it.
QString documentWindow(const QString &fileName)
{
    QProcess search;
    search.start("xdotool", {"search", "--onlyvisible", "--name", QRegularExpression::escape(fileName) + " - LibreOffice Calc"});
    search.waitForFinished(10000);
    QString largest;
    qint64 largestArea = 0;
    for (const QString &window : QString::fromLatin1(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        QProcess geometry;
        geometry.start("xdotool", {"getwindowgeometry", "--shell", window});
        geometry.waitForFinished(10000);
        const QString shell = QString::fromLatin1(geometry.readAllStandardOutput());
        const auto value = [&](const QString &name) { return shell.section(name + '=', 1, 1).section('\n', 0, 0).toLongLong(); };
        if (value("WIDTH") * value("HEIGHT") > largestArea) {
            largestArea = value("WIDTH") * value("HEIGHT");
            largest = window;
        }
    }
    return largest;
}

// Right after step 2 the user types the new names, each ended with Enter, as
// in any fresh sheet: they go down column D from D2, one row each, in either
// of the office's toolkits.
class TypedNames : public VisibleOfficeTest, public ::testing::WithParamInterface<const char *> {
protected:
    void SetUp() override
    {
        VisibleOfficeTest::SetUp();
        if (IsSkipped())
            return;
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool to type into the office's window";
        savedToolkit = qgetenv("SAL_USE_VCLPLUGIN");
        qputenv("SAL_USE_VCLPLUGIN", GetParam());
    }
    void TearDown() override
    {
        VisibleOfficeTest::TearDown();
        qputenv("SAL_USE_VCLPLUGIN", savedToolkit);
    }

    QByteArray savedToolkit;
};

TEST_P(TypedNames, GoDownColumnDOneRowEach)
{
    CalcOffice *reader = sharedReadingOffice();
    ASSERT_NE(reader, nullptr);
    const QString path = tree.path("typed.ods");
    const QStringList messages = runStep2(path, {"X/", "X/", "X/"}, {"a", "b", "c"});
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_GT(windowsOn(path), 0);
    QString window;
    ASSERT_TRUE(waitUntil([&] { return !(window = documentWindow("typed.ods")).isEmpty(); }));
    const QDateTime unsaved = QFileInfo(path).lastModified();

    EXPECT_TRUE(answerWindow(window, "One.txt", {"Return"}));
    EXPECT_TRUE(answerWindow(window, "Two.txt", {"Return"}));
    EXPECT_TRUE(answerWindow(window, {}, {"ctrl+s"}));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(path).lastModified() != unsaved; })) << "the user's save never came";

    ASSERT_TRUE(waitUntil([&] { return reader->openWorkbookForReading(path).ok(); }));
    EXPECT_EQ(readTexts(*reader, {2, 4, 4, 4}), (QList<QStringList>{{"One.txt"}, {"Two.txt"}, {""}}));
}

INSTANTIATE_TEST_SUITE_P(VisibleNamingTable, TypedNames, ::testing::Values("gtk3", "gen"),
                         [](const ::testing::TestParamInfo<const char *> &test) { return std::string(test.param); });

// The state letter of process `pid` ('T' when stopped), or 0 once it is gone.
char processState(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = status.readAll();
    const QByteArray state = line.mid(line.lastIndexOf(')') + 2, 1);
    return state.isEmpty() ? 0 : state[0];
}

// An office that stops answering is left as it is, window and all: step 2
// gives up on it but never ends it.
TEST_F(VisibleNamingTable, AnOfficeThatStopsAnsweringIsNeverKilled)
{
    auto started = startLibreOfficeCalc(CalcWindow::Visible);
    ASSERT_TRUE(started.ok()) << sheetFailureText(started.error()).toStdString();
    std::unique_ptr<CalcOffice> office = std::move(started.value());
    // A first start in a new profile may end one office program and start
    // another; only one stopped can vanish by being killed alone.
    QList<qint64> offices;
    for (qint64 pid : visibleOfficesOfThisProcess("soffice.bin")) {
        ::kill(pid_t(pid), SIGSTOP);
        if (waitUntil([pid] { return processState(pid) == 'T'; }, std::chrono::seconds(5)))
            offices << pid;
    }
    ASSERT_FALSE(offices.isEmpty());

    EXPECT_FALSE(office->isAnswering());
    office.reset();

    for (qint64 pid : offices) {
        EXPECT_EQ(processState(pid), 'T') << "office " << pid << " was ended";
        ::kill(pid_t(pid), SIGCONT);
    }
}

} // namespace

namespace {

// The office stops (SIGSTOP) as step 2 hands it the workbook, before it has
// the file: it neither shows the file nor asks. Each of step 2's looks at the
// office is a call bounded on its own, which runs out before the bound on
// showing the file: step 2 says the office did not answer and leaves it as
// it is. Continued, the office opens the file for the user.
TEST_F(VisibleNamingTable, StepTwoLetsGoOfAnOfficeThatStopsAsItIsHandedTheFile)
{
    const QString other = tree.path("other.ods");
    ASSERT_TRUE(runStep2(other, {"X/"}, {"a"}).isEmpty());
    ASSERT_GT(windowsOn(other), 0);
    const QList<qint64> offices = visibleOfficesOfThisProcess("soffice.bin");
    ASSERT_FALSE(offices.isEmpty());
    CalcOffice *maker = sharedWorkingOffice();
    ASSERT_NE(maker, nullptr);
    const QString path = tree.path("handed.xls");
    makeWorkbook(*maker, path);

    QElapsedTimer timer;
    timer.start();
    startStep2(path, {"X/"}, {"a"});
    // The launcher that hands the file over names it on its command line.
    ASSERT_TRUE(waitUntil([&] { return !processesMentioning(path).isEmpty(); }));
    for (qint64 pid : offices)
        ::kill(pid_t(pid), SIGSTOP);
    const QStringList messages = messagesOfStepTwo();
    EXPECT_LT(timer.elapsed(), 60000) << "a look at the office is bounded more tightly than the showing";
    for (qint64 pid : offices) {
        EXPECT_EQ(processState(pid), 'T') << "office " << pid << " was ended";
        ::kill(pid_t(pid), SIGCONT);
    }

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法打开工作簿，命名表没有写入"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("没有响应"))) << messages[0].toStdString();
    EXPECT_GT(windowsOn(path), 0) << "the office goes on with the file once it runs again";
}

} // namespace
