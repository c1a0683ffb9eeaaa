// Steps 2 and 3 when LibreOffice crashes, is missing, or is handed a workbook
// it cannot use. Each case must end quickly with one clear message, leave no
// office process behind, and leave every file either renamed and reported so,
// or untouched.
#include "steps/step_three_job.h"
#include "tests/common/recording_table_view.h"
#include "tests/app/main_window_under_test.h"
#include "sheet/naming_table_layout.h"
#include "steps/naming_table_export.h"
#include "tests/robustness/office_killed_on_cue.h"
#include "tests/common/office_test_support.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

namespace {

// A crash must be noticed at once, not by a call running out of time, which
// is what this lead of the reason says.
const QString ranOutOfTime = QStringLiteral("秒内没有响应");


using Moment = OfficeKilledOnCue::Moment;

struct CrashCase {
    const char *name;
    const char *operation;
    Moment moment;
    // Step 3 only: whether the renames had been made when the office died.
    bool renamed = false;
};

void PrintTo(const CrashCase &param, std::ostream *out) { *out << param.name; }

// The shared office makes the workbooks; the office that dies is the test's own.
class OfficeCrash : public ::testing::TestWithParam<CrashCase> {
protected:
    void SetUp() override
    {
        maker = sharedWorkingOffice();
        ASSERT_NE(maker, nullptr);
        officesBefore = processesMentioning(ownOfficePipePrefix());
    }
    void TearDown() override
    {
        office.reset();
        EXPECT_EQ(processesMentioning(ownOfficePipePrefix()), officesBefore) << "an office of ours outlived its step";
    }

    // Starts the office that dies, as `Decorator` of a port; null (with the
    // test failed) when it does not start.
    template <typename Decorator>
    Decorator *officeKilledOnCue()
    {
        auto started = Decorator::start(GetParam().operation, GetParam().moment);
        Decorator *decorated = started.get();
        office = std::move(started);
        return decorated;
    }

    CalcOffice *maker = nullptr;
    QList<qint64> officesBefore;
    std::unique_ptr<OfficeKilledOnCue> office;
    TempTree tree;
};

class OfficeCrashInStep2 : public OfficeCrash {};

// A large table keeps the office busy long enough to die in mid-call.
TEST_P(OfficeCrashInStep2, EndsTheTableWithOneMessageAndTheWorkbookUntouched)
{
    const QString workbook = tree.path("table.xls");
    makeWorkbook(*maker, workbook, {{"序号", "目录", "文件名", "新文件名"}, {"", "/old/", "x", "typed before"}});
    const QByteArray saved = fileContent(workbook);
    QStringList folders, names;
    for (int i = 0; i < 30000; ++i) {
        folders << QStringLiteral("/data/folder%1/").arg(i / 7);
        names << QStringLiteral("file%1.dwg").arg(i);
    }
    WriterKilledOnCue *writer = officeKilledOnCue<WriterKilledOnCue>();
    ASSERT_NE(writer, nullptr);

    QStringList messages;
    RecordingTableView stepTwo(messages);
    writeNamingTable(*writer, workbook, foundEntries(folders, names), stepTwo);

    ASSERT_TRUE(office->killed()) << "the step never reached " << GetParam().operation;
    ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_FALSE(messages[0].contains(ranOutOfTime)) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("LibreOffice")) << messages[0].toStdString();
    EXPECT_TRUE(writer->unresponsiveReason());
    EXPECT_EQ(fileContent(workbook), saved) << "step 2 never saves";
}

INSTANTIATE_TEST_SUITE_P(
    , OfficeCrashInStep2,
    ::testing::Values(CrashCase{"BeforeOpening", "openWorkbook", Moment::BeforeCall},
                      CrashCase{"WhileWritingTheTable", "putTextBlock", Moment::DuringCall},
                      CrashCase{"BeforeTheMacro", "runFirstSheetMacro", Moment::BeforeCall},
                      CrashCase{"BeforeShading", "fillRects", Moment::BeforeCall}),
    [](const auto &test) { return std::string(test.param.name); });

class OfficeCrashInStep3 : public OfficeCrash {};

// Three files to rename, below a table long enough to take a while to read.
TEST_P(OfficeCrashInStep3, RenamesAllOrNothingAndSaysWhich)
{
    const QString folder = tree.path("files") + "/";
    QList<QStringList> table{{"序号", "目录", "文件名", "新文件名"}};
    for (int i = 0; i < 3; ++i) {
        tree.makeFile(QString("files/old%1.txt").arg(i), QByteArray::number(i));
        table << QStringList{"", folder, QString("old%1.txt").arg(i), QString("new%1.txt").arg(i)};
    }
    for (int i = 3; i < NamingTable::xlsSheetRows - 1; ++i)
        table << QStringList{"", folder, QString("absent%1.txt").arg(i)};
    const QString workbook = tree.path("table.xls");
    makeWorkbook(*maker, workbook, table);
    ReaderKilledOnCue *reader = officeKilledOnCue<ReaderKilledOnCue>();
    ASSERT_NE(reader, nullptr);

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*reader, workbook), view);

    ASSERT_TRUE(office->killed()) << "the step never reached " << GetParam().operation;
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_FALSE(view.messages[0].contains(ranOutOfTime)) << view.messages[0].toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString now = folder + (GetParam().renamed ? "new%1.txt" : "old%1.txt");
        EXPECT_EQ(fileContent(now.arg(i)), QByteArray::number(i)) << now.arg(i).toStdString();
    }
    if (GetParam().renamed) {
        EXPECT_EQ(view.messages[0], "OK,YOU MAKE IT!");
        EXPECT_EQ(view.renamed.mid(0, 3), QStringList({"new0.txt", "new1.txt", "new2.txt"}));
    } else {
        EXPECT_TRUE(view.messages[0].startsWith(QStringLiteral("无法读取命名表，没有文件被更名"))) << view.messages[0].toStdString();
        EXPECT_TRUE(view.renamed.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    , OfficeCrashInStep3,
    ::testing::Values(CrashCase{"BeforeOpening", "openWorkbookForReading", Moment::BeforeCall, false},
                      CrashCase{"WhileOpening", "openWorkbookForReading", Moment::DuringCall, false},
                      CrashCase{"WhileAskingWhichRowsShow", "shownRows", Moment::DuringCall, false},
                      CrashCase{"WhileReadingTheTable", "readTextBlock", Moment::DuringCall, false},
                      // The table has been read: the renames need the office no more.
                      CrashCase{"AfterReadingTheTable", "readTextBlock", Moment::AfterCall, true}),
    [](const auto &test) { return std::string(test.param.name); });

// With "soffice" nowhere on the search path, steps 2 and 3 each say so once,
// rename nothing, and the window goes on working.
TEST(OfficeMissing, StepsTwoAndThreeSaySoAndTheWindowStaysUsable)
{
    TempTree tree;
    tree.makeFolder("empty-bin");
    tree.makeFile("files/a.txt", "a");
    tree.makeFile("table.xls", "not opened");
    ScriptedDialogs dialogs;
    MainWindowUnderTest window(dialogs);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", tree.path("empty-bin").toLocal8Bit());
    dialogs.fileAnswers << tree.path("table.xls");
    window.chooseWorkbookAndWriteTable();
    ASSERT_TRUE(waitForStepToEnd(window));
    window.renameFromTable();
    ASSERT_TRUE(waitForStepToEnd(window));
    qputenv("PATH", savedPath);

    ASSERT_EQ(dialogs.messages.size(), 2);
    for (const QString &message : dialogs.messages)
        EXPECT_TRUE(message.contains("LibreOffice") && message.contains("soffice")) << message.toStdString();
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("没有文件被更名")));
    EXPECT_EQ(window.workbookPath(), tree.path("table.xls"));
    EXPECT_EQ(fileContent(tree.path("table.xls")), "not opened");
    EXPECT_TRUE(QFile::exists(tree.path("files/a.txt")));

    dialogs.folderAnswers << tree.path("files");
    window.chooseFolderAndScan();
    ASSERT_TRUE(waitForStepToEnd(window));
    EXPECT_EQ(rowsShown(window.List2), 1);
}

// The office dies as it starts, as a broken installation would: step 3 from
// the window gives up at once with one message, and the window works on.
TEST(OfficeCrashAtStart, StepThreeGivesUpAtOnceAndTheWindowStaysUsable)
{
    TempTree tree;
    tree.makeFile("files/a.txt", "a");
    tree.makeFile("table.xls", "never read");
    ScriptedDialogs dialogs;
    MainWindowUnderTest window(dialogs);
    chooseWorkbookWithNoOfficeInstalled(window, dialogs, tree.path("table.xls"));
    const QList<qint64> before = processesMentioning(ownOfficePipePrefix());
    std::atomic<bool> stepDone = false;
    // Every office program that appears is killed, until the step is done.
    std::thread crasher([&] {
        waitUntil([&] {
            for (qint64 pid : ownOfficeProcesses("soffice.bin")) {
                if (!before.contains(pid))
                    ::kill(pid_t(pid), SIGKILL);
            }
            return stepDone.load();
        }, std::chrono::minutes(10));
    });
    window.renameFromTable();
    const bool ended = waitForStepToEnd(window);
    stepDone = true;
    crasher.join();
    ASSERT_TRUE(ended);

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_FALSE(dialogs.messages[0].contains(ranOutOfTime)) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("没有文件被更名"))) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(QFile::exists(tree.path("files/a.txt")));
    EXPECT_EQ(processesMentioning(ownOfficePipePrefix()), before);

    dialogs.folderAnswers << tree.path("files");
    window.chooseFolderAndScan();
    ASSERT_TRUE(waitForStepToEnd(window));
    EXPECT_EQ(rowsShown(window.List2), 1);
}

// Workbooks that are not what they seem. LibreOffice opens all but the
// encrypted one: an empty file as an empty sheet, a text file as one column of
// text, a cut-off file as far as it can, which leaves columns B to D empty
// here. Whatever happens, neither step writes the file, and step 3 renames
// exactly what the table it could read names: here nothing, since no new name
// survived.
struct OddWorkbookCase {
    const char *name;
    std::function<void(CalcOffice &maker, const QString &path)> make;
    const char *step2Message;   // start of the one message of step 2, or empty for none
    const char *step3Message;   // start of the one message of step 3
    bool renamed;               // whether step 3 renames files/a.txt to b.txt
};

void PrintTo(const OddWorkbookCase &param, std::ostream *out) { *out << param.name; }

class OddWorkbook : public ::testing::TestWithParam<OddWorkbookCase> {
protected:
    void SetUp() override
    {
        maker = sharedWorkingOffice();
        office = sharedReadingOffice();
        ASSERT_NE(maker, nullptr);
        ASSERT_NE(office, nullptr);
        tree.makeFile("files/a.txt", "a");
        GetParam().make(*maker, workbook);
        if (HasFatalFailure() || IsSkipped())
            return;
        original = fileContent(workbook);
    }
    void TearDown() override { QProcess::execute("chattr", {"-i", workbook}); }

    CalcOffice *maker = nullptr;
    CalcOffice *office = nullptr;
    TempTree tree;
    const QString workbook = tree.path("table.xls");
    QByteArray original;
};

TEST_P(OddWorkbook, StepTwoWritesTheTableOrSaysWhyNotAndNeverSaves)
{
    QStringList messages;
    RecordingTableView stepTwo(messages);
    writeNamingTable(*office, workbook, foundEntries({tree.path("files") + "/"}, {"a.txt"}), stepTwo);

    const QString expected = QString::fromUtf8(GetParam().step2Message);
    ASSERT_EQ(messages.size(), expected.isEmpty() ? 0 : 1) << messages.join('\n').toStdString();
    if (!expected.isEmpty()) {
        EXPECT_TRUE(messages[0].startsWith(expected)) << messages[0].toStdString();
    }
    EXPECT_FALSE(office->unresponsiveReason());
    EXPECT_EQ(fileContent(workbook), original);
}

TEST_P(OddWorkbook, StepThreeRenamesOnlyWhatItCouldReadAndSaysSo)
{
    ScriptedUser view;
    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*office, workbook), view);

    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith(QString::fromUtf8(GetParam().step3Message))) << view.messages[0].toStdString();
    const QString kept = GetParam().renamed ? "b.txt" : "a.txt";
    EXPECT_EQ(QDir(tree.path("files")).entryList(QDir::Files), QStringList{kept});
    EXPECT_EQ(fileContent(tree.path("files/" + kept)), "a");
    EXPECT_EQ(view.renamed.contains("b.txt"), GetParam().renamed);
    EXPECT_EQ(fileContent(workbook), original) << "step 3 only reads the workbook";
}

void makeTable(CalcOffice &maker, const QString &path)
{
    makeWorkbook(maker, path, {{"序号", "目录", "文件名", "新文件名"}, {"", QFileInfo(path).path() + "/files/", "a.txt", "b.txt"}});
}

const char *const cannotOpen = "无法打开工作簿，命名表没有写入";
const char *const cannotRead = "无法读取命名表，没有文件被更名";
const char *const success = "OK,YOU MAKE IT!";
const char *const notATable = "这个工作簿的第一张工作表不是命名表";

INSTANTIATE_TEST_SUITE_P(
    , OddWorkbook,
    ::testing::Values(
        OddWorkbookCase{"PasswordProtected",
                        [](CalcOffice &, const QString &path) {
                            ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLMERE_ROBUSTNESS_DATA "/password.xls"), path));
                        },
                        cannotOpen, cannotRead, false},
        // A copy cut off half way.
        OddWorkbookCase{"Truncated",
                        [](CalcOffice &maker, const QString &path) {
                            makeTable(maker, path);
                            writeFileContent(path, fileContent(path).left(QFileInfo(path).size() / 2));
                        },
                        "", notATable, false},
        OddWorkbookCase{"Empty", [](CalcOffice &, const QString &path) { writeFileContent(path, {}); }, "", notATable, false},
        OddWorkbookCase{"TextNamedXls",
                        [](CalcOffice &, const QString &path) {
                            writeFileContent(path, "序号\t目录\t文件名\t新文件名\n\t" + QFile::encodeName(QFileInfo(path).path())
                                                + "/files/\ta.txt\tb.txt\t\"0013\"\n");
                        },
                        "", notATable, false},
        // Root writes past permission bits; only an immutable file is
        // read-only to it. The table still reads; the save that fails wrote
        // nothing of ours.
        OddWorkbookCase{"ReadOnly",
                        [](CalcOffice &maker, const QString &path) {
                            makeTable(maker, path);
                            if (QProcess::execute("chattr", {"+i", path}) != 0)
                                GTEST_SKIP() << "chattr +i is not possible here";
                        },
                        "", success, true}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
