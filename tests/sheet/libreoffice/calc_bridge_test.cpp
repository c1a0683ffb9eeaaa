#include "sheet/libreoffice/leftover_files.h"
#include "sheet/libreoffice/office_launch.h"
#include "tests/common/office_test_support.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CalcBridge : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(office, nullptr); }

    CalcOffice *office = sharedWorkingOffice();
    TempTree tree;
};


TEST_F(CalcBridge, BlockReadKeepsTextAsTypedAndMarksErrorsUnreadable)
{
    const QString path = tree.path("values.xls");
    makeWorkbook(*office, path, {{"001", "1E5", "=1+1", "  spaced "}});
    ASSERT_TRUE(office->putCellFormula(2, 1, "=NA()").ok());
    ASSERT_TRUE(office->putCellFormula(2, 2, "=40+2").ok());
    ASSERT_TRUE(office->saveWorkbook().ok());
    ASSERT_TRUE(office->openWorkbook(path).ok());

    EXPECT_EQ(readTexts(*office, {1, 1, 2, 5}),
              (QList<QStringList>{{"001", "1E5", "=1+1", "  spaced ", ""}, {"<unreadable>", "42", "", "", ""}}));
    EXPECT_EQ(office->cellText(1, 1).value(), "001");
    EXPECT_FALSE(office->cellText(2, 1).ok());
}

TEST_F(CalcBridge, PaletteFillSurvivesSavingAsXls)
{
    const QString path = tree.path("fill.xls");
    makeWorkbook(*office, path, {{"a"}});
    ASSERT_TRUE(office->fillRects({{2, 1, 3, 4}, {6, 2, 6, 2}}, 35).ok());
    ASSERT_TRUE(office->clearFill({3, 1, 3, 1}).ok());
    ASSERT_TRUE(office->saveWorkbook().ok());
    ASSERT_TRUE(office->openWorkbook(path).ok());

    EXPECT_EQ(office->fillColorIndex(2, 1).value(), 35);
    EXPECT_EQ(office->fillColorIndex(3, 4).value(), 35);
    EXPECT_EQ(office->fillColorIndex(6, 2).value(), 35);
    EXPECT_EQ(office->fillColorIndex(3, 1).value(), 0);
    EXPECT_EQ(office->fillColorIndex(1, 1).value(), 0);
    EXPECT_EQ(office->fillColorIndex(2, 5).value(), 0);
}

TEST_F(CalcBridge, NewWorkbooksTakeTheFormatTheirExtensionNames)
{
    struct Format {
        const char *name;
        QByteArray start;
        QByteArray inside;
    };
    // An Excel 97 file is a compound file whose directory names its stream in UTF-16.
    const QByteArray compoundFile("\xD0\xCF\x11\xE0");
    const QByteArray workbookStream("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
    for (const Format &format : {Format{"new.xlsx", "PK", "xl/workbook.xml"},
                                 Format{"new.ods", "PK", "application/vnd.oasis.opendocument.spreadsheet"},
                                 Format{"new.xls", compoundFile, workbookStream},
                                 Format{"no-extension", compoundFile, workbookStream}}) {
        const QString path = tree.path(format.name);
        ASSERT_TRUE(office->createWorkbook(path).ok()) << format.name;
        ASSERT_TRUE(office->putTextBlock(1, 1, {{"新文件名"}}).ok());
        ASSERT_TRUE(office->saveWorkbook().ok());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(format.start)) << format.name;
        EXPECT_TRUE(bytes.contains(format.inside)) << format.name;
        ASSERT_TRUE(office->openWorkbookForReading(path).ok());
        EXPECT_EQ(office->cellText(1, 1).value(), "新文件名") << format.name;
    }
}

TEST_F(CalcBridge, UsedExtentIsTheLastUsedRowAndColumn)
{
    makeWorkbook(*office, tree.path("extent.xls"));
    EXPECT_EQ(office->usedExtent().value().rows, 1);
    ASSERT_TRUE(office->putTextBlock(7, 3, {{"x"}}).ok());
    EXPECT_EQ(office->usedExtent().value().rows, 7);
    EXPECT_EQ(office->usedExtent().value().columns, 3);
}

// A row the autofilter leaves out is a hidden row to the sheet; a hidden
// column hides every row of a block that holds it, and a hidden sheet every
// row it has.
TEST_F(CalcBridge, ShownRowsLeaveOutHiddenAndFilteredRowsHiddenColumnsAndAHiddenSheet)
{
    const QString path = tree.path("hiding.fods");
    QStringList rows;
    for (const char *name : {"C", "a", "hidden", "filtered", "b", "hidden2"})
        rows << flatTextCell("/") + flatTextCell(name) + flatTextCell("x");
    writeFileContent(path, flatWorkbook(rows, {.hiddenRows = {2, 5}, .filteredRows = {3}, .hiddenColumns = {4}}));
    ASSERT_TRUE(office->openWorkbookForReading(path).ok());

    EXPECT_EQ(office->shownRows({1, 2, 7, 3}).value(), QList<bool>({true, true, false, false, true, false, true}));
    EXPECT_EQ(office->shownRows({2, 3, 3, 5}).value(), QList<bool>({false, false}));
    EXPECT_FALSE(office->shownRows({0, 1, 2, 1}).ok());

    const QString onHiddenSheet = tree.path("hidden sheet.ods");
    makeWorkbook(*office, onHiddenSheet, {{"a"}, {"b"}});
    ASSERT_NO_FATAL_FAILURE(hideFirstSheetOf(*office, onHiddenSheet));
    ASSERT_TRUE(office->openWorkbookForReading(onHiddenSheet).ok());
    EXPECT_EQ(office->shownRows({1, 1, 3, 1}).value(), QList<bool>({false, false, false}));
}

TEST_F(CalcBridge, RefusedOperationsFailWithAReason)
{
    EXPECT_FALSE(office->openWorkbook(tree.path("missing.xls")).ok());
    EXPECT_FALSE(office->putTextBlock(1, 1, {{"x"}}).ok()) << "no workbook is open after a failed open";

    makeWorkbook(*office, tree.path("limits.xls"));
    for (const auto &[row, column] : {std::pair<qint64, qint64>{0, 1}, {1, 0}, {1048577, 1}, {1, 16385}, {qint64(1) << 40, 1}}) {
        const auto put = office->putTextBlock(row, column, {{"x"}});
        EXPECT_FALSE(put.ok()) << row << "," << column;
        EXPECT_TRUE(put.error().kind == SheetFailureKind::RowOutsideSheet
                    || put.error().kind == SheetFailureKind::ColumnOutsideSheet);
    }
    EXPECT_FALSE(office->fillRects({{1, 1, 1, 1}}, 57).ok());
    EXPECT_FALSE(office->showWindow().ok());
    const auto macro = office->runFirstSheetMacro("ClearRow");
    EXPECT_FALSE(macro.ok());
    EXPECT_FALSE(office->unresponsiveReason()) << "refusals leave the office usable";
}

TEST(CalcBridgeLifetime, QuitEndsTheOfficeAndRemovesItsProfile)
{
    const int before = int(processesMentioning(ownOfficePipePrefix()).size());
    auto office = startHiddenOfficeForTests();
    ASSERT_NE(office, nullptr);
    const QList<qint64> started = processesMentioning(ownOfficePipePrefix());
    ASSERT_GT(started.size(), before);
    QString profile;
    const auto match = QRegularExpression("UserInstallation=file://([^\\x00]+)").match(QString::fromLocal8Bit(commandLineOf(started.last())));
    ASSERT_TRUE(match.hasMatch());
    profile = QUrl::fromPercentEncoding(match.captured(1).toUtf8());
    ASSERT_TRUE(QDir(profile).exists());

    EXPECT_TRUE(office->quit().ok());
    EXPECT_FALSE(office->usedExtent().ok());
    office.reset();
    EXPECT_EQ(processesMentioning(ownOfficePipePrefix()).size(), before);
    EXPECT_FALSE(QDir(profile).exists());
}

TEST(CalcBridgeLifetime, AnOfficeThatDiesIsReportedNotWaitedFor)
{
    const QList<qint64> before = processesMentioning(ownOfficePipePrefix());
    auto office = startHiddenOfficeForTests();
    ASSERT_NE(office, nullptr);
    for (qint64 pid : processesMentioning(ownOfficePipePrefix()))
        if (!before.contains(pid))
            ::kill(pid_t(pid), SIGKILL);

    TempTree tree;
    const auto created = office->createWorkbook(tree.path("never.xls"));
    EXPECT_FALSE(created.ok());
    EXPECT_EQ(office->unresponsiveReason(), created.error());
    EXPECT_FALSE(office->usedExtent().ok());
    office.reset();
    EXPECT_EQ(processesMentioning(ownOfficePipePrefix()), before);
}

// Run only by the test below, in a process of its own that dies abruptly.
TEST(CalcBridgeLifetime, DISABLED_StartsAnOfficeAndIsKilled)
{
    auto office = startHiddenOfficeForTests();
    ASSERT_NE(office, nullptr);
    std::printf("office ready\n");
    std::fflush(stdout);
    ::kill(getpid(), SIGKILL);
}

// The office goes with the killed program; its profile and temporary files
// stay behind, all in one folder, until the program starts again.
TEST(CalcBridgeLifetime, AHiddenOfficeEndsWhenItsProgramIsKilledAndItsFilesGoAtTheNextStart)
{
    TempTree temporary;
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary.root());
    helper.setProcessEnvironment(environment);
    helper.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_also_run_disabled_tests", "--gtest_filter=CalcBridgeLifetime.DISABLED_StartsAnOfficeAndIsKilled"});
    ASSERT_TRUE(helper.waitForStarted());
    const QString helperOffices = officePipePrefix(helper.processId());
    const QString leftBehind = QStringLiteral("quillmere-office-%1-").arg(helper.processId());
    ASSERT_TRUE(helper.waitForFinished(180000));
    ASSERT_TRUE(helper.readAllStandardOutput().contains("office ready"));

    EXPECT_TRUE(waitUntil([&] { return processesMentioning(helperOffices).isEmpty(); }));
    // The office's files only: Qt's runtime folder and the killed test's own
    // state folder are left there too.
    const auto leftovers = [&temporary] {
        return QDir(temporary.root())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
            .filter(QRegularExpression("^quillmere-(office|table)-"));
    };
    const QStringList left = leftovers();
    ASSERT_EQ(left.size(), 1) << left.join(", ").toStdString();
    EXPECT_TRUE(left[0].startsWith(leftBehind)) << left[0].toStdString();

    const QByteArray ownTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.root()));
    temporary.makeFolder("quillmere-office-notours");
    removeLeftoverOfficeFiles();
    qputenv("TMPDIR", ownTemporary);
    EXPECT_EQ(leftovers(), QStringList{"quillmere-office-notours"});
}

// The id of a process that has ended: nothing runs under it for a while.
qint64 finishedProcessId()
{
    QProcess finished;
    finished.start("true", QStringList());
    EXPECT_TRUE(finished.waitForStarted());
    const qint64 id = finished.processId();
    EXPECT_TRUE(finished.waitForFinished());
    return id;
}

// Anyone may put an entry under one of the clean-up's names in the shared
// temporary folder. Only real folders and pipes of this user whose program
// has ended go; a link goes nowhere near its target, not even from inside a
// folder that goes.
TEST(CalcBridgeLifetime, TheStartUpCleanUpRemovesOnlyItsOwnDeadFoldersAndPipes)
{
    TempTree temporary;
    TempTree outside;
    const qint64 dead = finishedProcessId();
    const qint64 live = QCoreApplication::applicationPid();
    const uid_t otherUser = 54321;
    outside.makeFile("linked from inside/kept.txt", "kept");
    outside.makeFile("linked under our name/kept.txt", "kept");
    outside.makeFile("socket target/kept.txt", "kept");

    const QString ourDead = temporary.path(QString("quillmere-office-%1-Abc123").arg(dead));
    temporary.makeFile(QFileInfo(ourDead).fileName() + "/user/deep/registry.xcu", "x");
    ASSERT_TRUE(QFile::link(outside.path("linked from inside"), ourDead + "/user/link"));
    const QString plantedLink = temporary.path(QString("quillmere-table-%1-Lnk123").arg(dead));
    ASSERT_TRUE(QFile::link(outside.path("linked under our name"), plantedLink));
    const QString othersFolder = temporary.path(QString("quillmere-table-%1-Oth123").arg(dead));
    temporary.makeFile(QFileInfo(othersFolder).fileName() + "/theirs.txt", "theirs");
    ASSERT_EQ(::lchown(QFile::encodeName(othersFolder).constData(), otherUser, otherUser), 0);
    const QString ourLive = temporary.path(QString("quillmere-table-%1-Liv123").arg(live));
    temporary.makeFile(QFileInfo(ourLive).fileName() + "/in use.txt", "in use");

    // The office's runtime puts its pipes in /tmp, whatever the temporary folder.
    const auto pipe = [](qint64 program, const char *suffix) {
        return QString("/tmp/OSL_PIPE_%1_quillmere-%2-%3").arg(::geteuid()).arg(program).arg(suffix);
    };
    const auto makePipe = [](const QString &path) {
        return ::mknod(QFile::encodeName(path).constData(), S_IFSOCK | 0600, 0) == 0;
    };
    const QString deadPipe = pipe(dead, "dead0");
    const QString livePipe = pipe(live, "11fe0");
    const QString othersPipe = pipe(dead, "07e50");
    const QString linkedPipe = pipe(dead, "11ced");
    ASSERT_TRUE(makePipe(deadPipe) && makePipe(livePipe) && makePipe(othersPipe));
    ASSERT_EQ(::lchown(QFile::encodeName(othersPipe).constData(), otherUser, otherUser), 0);
    ASSERT_TRUE(QFile::link(outside.path("socket target"), linkedPipe));

    const QByteArray ownTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.root()));
    removeLeftoverOfficeFiles();
    qputenv("TMPDIR", ownTemporary);

    const struct {
        QString path;
        bool removed;
    } outcomes[] = {
        {ourDead, true},
        {outside.path("linked from inside/kept.txt"), false},
        {plantedLink, false},
        {outside.path("linked under our name/kept.txt"), false},
        {othersFolder + "/theirs.txt", false},
        {ourLive + "/in use.txt", false},
        {deadPipe, true},
        {livePipe, false},
        {othersPipe, false},
        {linkedPipe, false},
        {outside.path("socket target/kept.txt"), false},
    };
    for (const auto &outcome : outcomes) {
        EXPECT_EQ(!QFileInfo(outcome.path).exists() && !QFileInfo(outcome.path).isSymLink(), outcome.removed)
            << outcome.path.toStdString();
    }
    for (const QString &planted : {deadPipe, livePipe, othersPipe, linkedPipe})
        QFile::remove(planted);
}

} // namespace
