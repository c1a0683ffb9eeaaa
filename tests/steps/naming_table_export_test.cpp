#include "sheet/naming_table_layout.h"
#include "tests/common/read_ahead_watch.h"
#include "tests/common/recording_table_view.h"
#include "steps/batch_rename_report.h"
#include "steps/naming_table_export.h"
#include "steps/standby_office.h"
#include "steps/workbook_choice.h"
#include "tests/common/office_test_support.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

const QStringList header{"序号", "目录", "文件名", "新文件名"};

// Step 2 runs in one office; the user's save is scripted there, and the saved
// file is read back in another so that only what reached the disk counts.
class NamingTableExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(writer, nullptr);
        ASSERT_NE(reader, nullptr);
    }

    // Runs step 2 on a workbook prepared with `earlier`, saves as the user
    // would, and opens the saved file in the reader.
    void exportAndReopen(const QList<QStringList> &earlier, const QStringList &folders, const QStringList &names)
    {
        makeWorkbook(*writer, path, earlier);
        RecordingTableView stepTwo(messages);
        writeNamingTable(*writer, path, foundEntries(folders, names), stepTwo);
        ASSERT_TRUE(writer->saveWorkbook().ok());
        ASSERT_TRUE(reader->openWorkbook(path).ok());
    }

    QList<qint64> shadedRows(qint64 lastRow, qint64 column)
    {
        QList<qint64> rows;
        for (qint64 row = 1; row <= lastRow; ++row)
            if (reader->fillColorIndex(row, column).value() == 35)
                rows << row;
        return rows;
    }

    CalcOffice *writer = sharedWorkingOffice();
    CalcOffice *reader = sharedReadingOffice();
    TempTree tree;
    const QString path = tree.path("table.xls");
    QStringList messages;
};

struct GroupCase {
    const char *name;
    QStringList folders;
    QList<qint64> shaded;
};

class FolderGroups : public NamingTableExport, public ::testing::WithParamInterface<GroupCase> {
};

TEST_P(FolderGroups, EverySecondGroupIsShadedAcrossTheTable)
{
    const GroupCase &groups = GetParam();
    QStringList names;
    for (qsizetype i = 0; i < groups.folders.size(); ++i)
        names << QStringLiteral("file%1.dwg").arg(i);
    exportAndReopen({}, groups.folders, names);

    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    const qint64 lastRow = groups.folders.size() + 1;
    EXPECT_EQ(reader->usedExtent().value().rows, lastRow);
    QList<QStringList> expected{header};
    for (qsizetype i = 0; i < groups.folders.size(); ++i)
        expected << QStringList{"", groups.folders[i], names[i], ""};
    EXPECT_EQ(readTexts(*reader, {1, 1, lastRow, 4}), expected);
    for (qint64 column = 1; column <= 4; ++column)
        EXPECT_EQ(shadedRows(lastRow + 1, column), groups.shaded) << "column " << column;
    EXPECT_TRUE(shadedRows(lastRow + 1, 5).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    NamingTableExport, FolderGroups,
    ::testing::Values(GroupCase{"NoFiles", {}, {}}, GroupCase{"OneFolder", {"D:\\a\\", "D:\\a\\", "D:\\a\\"}, {}},
                      GroupCase{"ThreeGroups", {"X\\", "X\\", "Y\\", "Z\\", "Z\\"}, {4}},
                      GroupCase{"FoldersDifferingInCase", {"C:\\Work\\", "C:\\work\\"}, {3}},
                      GroupCase{"FourGroups", {"A\\", "B\\", "B\\", "C\\", "D\\", "D\\"}, {3, 4, 6, 7}}),
    [](const ::testing::TestParamInfo<GroupCase> &test) { return test.param.name; });

// A workbook used again keeps a new name only beside the entry it was typed
// for; the table ends with the new entries, and nothing of the longer table's
// rows below it stays: neither its numbering, entries, new names nor shading.
TEST_F(NamingTableExport, EarlierLongerTableEndsWithTheNewOneAndNewNamesStayOnlyBesideTheirEntries)
{
    const QList<QStringList> earlier{header,
                                     {"1", "X\\", "old1", "new1"},
                                     {"2", "X\\", "old2", "new2"},
                                     {"3", "Y\\", "old3", "new3"},
                                     {"4", "Y\\", "old4", "new4"},
                                     {"5", "Z\\", "old5", ""}};
    makeWorkbook(*writer, path, earlier);
    // Shading left by an earlier run must not outlive its groups.
    ASSERT_TRUE(writer->fillRects({{2, 1, 3, 4}, {5, 1, 6, 4}}, 35).ok());
    ASSERT_TRUE(writer->saveWorkbook().ok());
    RecordingTableView stepTwo(messages);
    writeNamingTable(*writer, path, foundEntries({"X\\", "Y\\", "Y\\"}, {"old1", "1E5", "=A1"}),
                     stepTwo);
    ASSERT_TRUE(writer->saveWorkbook().ok());
    ASSERT_TRUE(reader->openWorkbook(path).ok());

    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(reader->usedExtent().value().rows, 4);
    EXPECT_EQ(readTexts(*reader, {1, 1, 6, 4}), (QList<QStringList>{header,
                                                                     {"1", "X\\", "old1", "new1"},
                                                                     {"2", "Y\\", "1E5", ""},
                                                                     {"3", "Y\\", "=A1", ""},
                                                                     {"", "", "", ""},
                                                                     {"", "", "", ""}}));
    EXPECT_EQ(shadedRows(7, 1), (QList<qint64>{3, 4}));
    EXPECT_EQ(shadedRows(7, 4), (QList<qint64>{3, 4}));
}

// A table whose sheet the workbook hides is written where the user looks:
// the sheet is shown, the window is on it with the cursor on D2, and the new
// names it kept from an earlier table are in view. A sheet the workbook's
// protection keeps hidden gets no table at all.
TEST_F(NamingTableExport, AHiddenFirstSheetIsShownWithTheCursorOnD2OrGetsNoTable)
{
    const QList<QStringList> earlier{header, {"", "X\\", "a", "typed long ago"}};
    const QString workbook = tree.path("hidden.ods");
    for (const bool protectedStructure : {false, true}) {
        SCOPED_TRACE(protectedStructure ? "protected structure" : "hidden sheet");
        messages.clear();
        makeWorkbook(*writer, workbook, earlier);
        ASSERT_NO_FATAL_FAILURE(hideFirstSheetOf(*writer, workbook, protectedStructure));
        RecordingTableView stepTwo(messages);
        const bool written = writeNamingTable(*writer, workbook, foundEntries({"X\\", "X\\"}, {"a", "b"}), stepTwo);

        ASSERT_TRUE(writer->saveWorkbook().ok());
        ASSERT_TRUE(reader->openWorkbookForReading(workbook).ok());
        if (protectedStructure) {
            EXPECT_FALSE(written);
            ASSERT_EQ(messages.size(), 1);
            EXPECT_TRUE(messages[0].startsWith("无法显示第一张工作表，命名表没有写入：")) << messages[0].toStdString();
            EXPECT_EQ(readTexts(*reader, {1, 1, 3, 4}), (QList<QStringList>{header, earlier[1], {"", "", "", ""}}));
        } else {
            EXPECT_TRUE(written);
            EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
            EXPECT_EQ(writer->cursorPlace().value(), (CalcOffice::CursorPlace{1, true, 2, 4}));
            EXPECT_EQ(readTexts(*reader, {1, 1, 3, 4}),
                      (QList<QStringList>{header, earlier[1], {"", "X\\", "b", ""}}));
            EXPECT_EQ(reader->shownRows({1, 1, 3, 4}).value(), QList<bool>(3, true));
        }
        ASSERT_TRUE(reader->closeWithoutSaving().ok());
        ASSERT_TRUE(QFile::remove(workbook));
    }
}

// A workbook used for four files, then for a folder of one: step 3 renames
// only the one file, and counts only its row.
TEST_F(NamingTableExport, RowsOfAnEarlierTableNeverRenameAnything)
{
    const QString earlierFolder = tree.path("earlier") + "/";
    const QString laterFolder = tree.path("later") + "/";
    const QStringList earlierFiles{"a.txt", "b.txt", "c.txt", "d.txt"};
    for (const QString &name : earlierFiles)
        tree.makeFile("earlier/" + name, name.toUtf8());
    tree.makeFile("later/only.txt", "only");
    const QString workbook = tree.path("reused.ods");
    RecordingTableView stepTwo(messages);
    ASSERT_TRUE(writeNamingTable(*writer, workbook, foundEntries(QStringList(4, earlierFolder), earlierFiles), stepTwo));
    ASSERT_TRUE(writer->putTextBlock(2, 4, {{"A2.txt"}, {"B2.txt"}, {"C2.txt"}, {"D2.txt"}}).ok());
    ASSERT_TRUE(writer->saveWorkbook().ok());

    ASSERT_TRUE(writeNamingTable(*writer, workbook, foundEntries({laterFolder}, {"only.txt"}), stepTwo));
    ASSERT_TRUE(writer->putTextBlock(2, 4, {{"renamed.txt"}}).ok());
    ASSERT_TRUE(writer->saveWorkbook().ok());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*reader, workbook), view);
    EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(view.renamed, QStringList{"renamed.txt"});
    EXPECT_EQ(view.count, processedCountText(1));
    EXPECT_EQ(fileContent(laterFolder + "renamed.txt"), "only");
    EXPECT_EQ(QDir(earlierFolder).entryList(QDir::Files), earlierFiles) << "no file of the earlier folder moves";
}

// Read back from the saved file: the columns keep their widths as .xls.
TEST_F(NamingTableExport, FolderAndNameColumnsFitTheirLongestTextAndNewNamesHaveAsMuchRoom)
{
    const QString longFolder = "/home/drafting/projects/2023/bridge-over-the-river/drawings/sheets/";
    ASSERT_NO_FATAL_FAILURE(exportAndReopen({}, {longFolder, "/a/"}, {"general-arrangement-rev-c.dwg", "b.dwg"}));

    const qint64 folderWidth = reader->columnWidth(2).value();
    const qint64 nameWidth = reader->columnWidth(3).value();
    EXPECT_GT(folderWidth, 3 * reader->columnWidth(1).value()) << "a whole folder path shows";
    EXPECT_GT(folderWidth, nameWidth);
    EXPECT_GE(reader->columnWidth(4).value(), nameWidth);
    EXPECT_EQ(readTexts(*reader, {2, 2, 3, 4}),
              (QList<QStringList>{{longFolder, "general-arrangement-rev-c.dwg", ""}, {"/a/", "b.dwg", ""}}));
}

TEST_F(NamingTableExport, EntriesBeyondTheLastXlsRowAreAnnouncedAndLeftOut)
{
    const qint64 entries = NamingTable::xlsSheetRows + 1;
    QStringList folders;
    QStringList names;
    for (qint64 i = 0; i < entries; ++i) {
        folders << QStringLiteral("F%1\\").arg(i / 1000);
        names << QStringLiteral("n%1").arg(i);
    }
    exportAndReopen({}, folders, names);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("65535")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("其余 2 个"))) << messages[0].toStdString();
    EXPECT_EQ(reader->usedExtent().value().rows, NamingTable::xlsSheetRows);
    EXPECT_EQ(readTexts(*reader, {NamingTable::xlsSheetRows, 2, NamingTable::xlsSheetRows, 3}),
              (QList<QStringList>{{folders[NamingTable::xlsSheetRows - 2], names[NamingTable::xlsSheetRows - 2]}}));
    EXPECT_EQ(reader->fillColorIndex(1002, 1).value(), 35) << "second group (entries 1000-1999)";
}

// A new .xlsx or .ods sheet holds what a .xls sheet cannot: every entry is
// written and nothing is said.
TEST_F(NamingTableExport, ANewXlsxTableTakesMoreRowsThanAnXlsSheetHolds)
{
    const QString large = tree.path("large.xlsx");
    const qint64 entries = NamingTable::xlsSheetRows + 1;
    QStringList folders;
    QStringList names;
    for (qint64 i = 0; i < entries; ++i) {
        folders << QStringLiteral("F%1\\").arg(i / 1000);
        names << QStringLiteral("n%1").arg(i);
    }
    RecordingTableView stepTwo(messages);
    writeNamingTable(*writer, large, foundEntries(folders, names), stepTwo);

    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(writer->usedExtent().value().rows, entries + 1);
    EXPECT_EQ(readTexts(*writer, {entries + 1, 2, entries + 1, 3}), (QList<QStringList>{{folders.last(), names.last()}}));
}

TEST_F(NamingTableExport, TheXlsLimitMessageNamesTheFormatsThatHoldMore)
{
    const qint64 entries = NamingTable::xlsSheetRows;
    QStringList folders;
    QStringList names;
    for (qint64 i = 0; i < entries; ++i) {
        folders << "F\\";
        names << QStringLiteral("n%1").arg(i);
    }
    RecordingTableView stepTwo(messages);
    writeNamingTable(*writer, tree.path("new.xls"), foundEntries(folders, names), stepTwo);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("其余 1 个"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(".xlsx") && messages[0].contains(".ods") && messages[0].contains("1048576"))
        << messages[0].toStdString();
}

// A workbook that does not exist yet is made in the format its extension
// names; the table, its shading and widths, the user's save, the waiting
// office's read-ahead and step 3 then work as with an existing .xls.
class NewWorkbookFormat : public NamingTableExport, public ::testing::WithParamInterface<const char *> {
};

TEST_P(NewWorkbookFormat, TakesTheTableAndStepThreeRenamesFromItsSavedFile)
{
    const QString workbook = tree.path(QStringLiteral("新 命名表.%1").arg(GetParam()));
    tree.makeFile("x/a.txt", "a");
    tree.makeFile("y/b.txt", "b");
    const QString x = tree.path("x") + "/";
    const QString y = tree.path("y") + "/";
    RecordingTableView stepTwo(messages);
    ASSERT_TRUE(writeNamingTable(*writer, workbook, foundEntries({x, y}, {"a.txt", "b.txt"}),
                                 stepTwo));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    const QByteArray signature = fileContent(workbook).left(4);
    EXPECT_EQ(signature, QByteArray(GetParam() == QString("xls") ? "\xd0\xcf\x11\xe0" : "PK\x03\x04"));
    if (GetParam() == QString("ods")) {
        EXPECT_TRUE(fileContent(workbook).contains("application/vnd.oasis.opendocument.spreadsheet"));
    }
    EXPECT_EQ(readTexts(*writer, {1, 1, 3, 4}), (QList<QStringList>{header, {"", x, "a.txt", ""}, {"", y, "b.txt", ""}}));

    // The user types the new names and saves.
    ASSERT_TRUE(writer->putTextBlock(2, 4, {{"a2.txt"}, {"b2.txt"}}).ok());
    ASSERT_TRUE(writer->saveWorkbook().ok());
    ASSERT_TRUE(reader->openWorkbook(workbook).ok());
    EXPECT_EQ(shadedRows(4, 1), QList<qint64>{3});
    EXPECT_GT(reader->columnWidth(2).value(), reader->columnWidth(1).value());

    ReadAheadWatch readAhead;
    StandbyOffice standby(readAhead.starter(hiddenOfficeStarter()));
    standby.prepare(workbook);
    ASSERT_TRUE(readAhead.waitForRead(std::chrono::minutes(2)));
    ScriptedUser view;
    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(standby, workbook), view);
    EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(fileContent(tree.path("x/a2.txt")), "a");
    EXPECT_EQ(fileContent(tree.path("y/b2.txt")), "b");
}

INSTANTIATE_TEST_SUITE_P(NamingTableExport, NewWorkbookFormat, ::testing::Values("xls", "xlsx", "ods"),
                         [](const ::testing::TestParamInfo<const char *> &test) { return std::string(test.param); });

// Whatever stands at the path, a file or a link to nowhere, is never replaced
// by a new workbook.
TEST_F(NamingTableExport, ANewWorkbookNeverReplacesWhatStandsAtItsPath)
{
    tree.makeFile("taken.ods", "mine");
    EXPECT_FALSE(writer->createWorkbook(tree.path("taken.ods")).ok());
    EXPECT_EQ(fileContent(tree.path("taken.ods")), "mine");

    const QString link = tree.path("dangling.xlsx");
    ASSERT_TRUE(QFile::link(tree.path("elsewhere.xlsx"), link));
    RecordingTableView stepTwo(messages);
    writeNamingTable(*writer, link, foundEntries({"X\\"}, {"a"}), stepTwo);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法打开工作簿"))) << messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(tree.path("elsewhere.xlsx")));
}

TEST(WorkbookChoice, ANewNameWithoutASpreadsheetExtensionBecomesAnXlsWorkbook)
{
    TempTree tree;
    tree.makeFile("existing", "x");
    EXPECT_EQ(workbookPathFor(""), "");
    EXPECT_EQ(workbookPathFor(tree.path("表")), tree.path("表.xls"));
    EXPECT_EQ(workbookPathFor(tree.path("plan.2026")), tree.path("plan.2026.xls"));
    EXPECT_EQ(workbookPathFor(tree.path("a.XLSX")), tree.path("a.XLSX"));
    EXPECT_EQ(workbookPathFor(tree.path("a.ods")), tree.path("a.ods"));
    EXPECT_EQ(workbookPathFor(tree.path("existing")), tree.path("existing")) << "an existing file is taken as it is";
    EXPECT_EQ(workbookPathFor(tree.path("trail.xls ")), tree.path("trail.xls"));
    EXPECT_EQ(workbookPathFor(tree.path("名单 \t ")), tree.path("名单.xls"));
    tree.makeFile("spaced ", "x");
    EXPECT_EQ(workbookPathFor(tree.path("spaced ")), tree.path("spaced ")) << "an existing name keeps its spaces";
    EXPECT_TRUE(workbookFileFilters().startsWith("xls文件 (*.xls);;"));
}

struct UnopenableCase {
    const char *name;
    const char *file;
    QByteArray content;
    const char *message;
    // A folder stands at the path instead of a file.
    bool folder = false;
    // Said after the lead, with %1 the path.
    const char *saying = "";
};

class UnopenableWorkbook : public NamingTableExport, public ::testing::WithParamInterface<UnopenableCase> {
};

TEST_P(UnopenableWorkbook, IsReportedAndNoTableIsStarted)
{
    const QString target = tree.path(GetParam().file);
    if (!GetParam().content.isNull())
        tree.makeFile(GetParam().file, GetParam().content);
    if (GetParam().folder)
        tree.makeFolder(GetParam().file);
    RecordingTableView stepTwo(messages);
    writeNamingTable(*writer, target, foundEntries({"X\\"}, {"a"}), stepTwo);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8(GetParam().message))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QString::fromUtf8(GetParam().saying).arg(target))) << messages[0].toStdString();
    EXPECT_FALSE(writer->unresponsiveReason());
    if (!GetParam().content.isNull()) {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), GetParam().content);
    }
}

INSTANTIATE_TEST_SUITE_P(NamingTableExport, UnopenableWorkbook,
                         ::testing::Values(UnopenableCase{"InAMissingFolder", "missing/not-a-table.xls", QByteArray(), "无法新建工作簿"},
                                           UnopenableCase{"Drawing", "not-a-table.xls", QByteArray("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\ntrailer\n<<>>\n%%EOF\n"), "无法打开工作簿"},
                                           UnopenableCase{"AFolder", "folder.xls", QByteArray(), "无法打开工作簿", true, "%1 是文件夹，不是工作簿"}),
                         [](const ::testing::TestParamInfo<UnopenableCase> &test) { return test.param.name; });

// A folder that even root may not write: a read-only file system mounted
// there. The office would only say that it could not store the document.
TEST_F(NamingTableExport, ANewWorkbookInAFolderWeMayNotWriteSaysSo)
{
    tree.makeFolder("read-only");
    const QString folder = tree.path("read-only");
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", folder}) != 0)
        GTEST_SKIP() << "cannot mount a read-only file system here (needs root)";
    const QString workbook = folder + "/new.xls";
    RecordingTableView stepTwo(messages);
    const bool written = writeNamingTable(*writer, workbook, foundEntries({"X\\"}, {"a"}), stepTwo);
    QProcess::execute("umount", {folder});

    EXPECT_FALSE(written);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].toStdString(), QStringLiteral("无法新建工作簿 %1：没有写入这个文件夹的权限").arg(workbook).toStdString());
}

TEST(NamingTableWithoutOffice, SaysLibreOfficeIsMissingAndStartsNothing)
{
    const QString ours = ownOfficePipePrefix();
    const QList<qint64> before = processesMentioning(ours);
    TempTree tree;
    tree.makeFolder("empty-bin");
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", tree.path("empty-bin").toLocal8Bit());
    QStringList messages;
    RecordingTableView stepTwo(messages);
    exportNamingTable(visibleOfficeStarter(), tree.path("table.xls"), foundEntries({"X\\"}, {"a"}), stepTwo);
    qputenv("PATH", savedPath);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("LibreOffice")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("soffice")) << messages[0].toStdString();
    EXPECT_EQ(processesMentioning(ours), before);
}

} // namespace
