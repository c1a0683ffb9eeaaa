#include "steps/naming_table_read.h"
#include "steps/sheet_failure_texts.h"
#include "steps/step_three_job.h"
#include "tests/common/office_test_support.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class StepThreeReadsOnly : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(maker, nullptr);
        ASSERT_NE(office, nullptr);
    }

    CalcOffice *maker = sharedWorkingOffice();
    CalcOffice *office = sharedReadingOffice();
    TempTree tree;
    const QString folder = tree.root() + "/";
};

// With "*.xls" the table lists its own workbook. Step 2's window still shows
// the table under the workbook's path, where a save would write it over
// whatever bore that name by then: no row renames the workbook, however it
// spells the path, and none gives its name to another file.
TEST_F(StepThreeReadsOnly, TableNeitherRenamesItsOwnWorkbookNorGivesItsName)
{
    const QString workbook = tree.path("d2.xls");
    makeWorkbook(*maker, workbook,
                 {{"序号", "目录", "文件名", "新文件名"}, {"", folder + "/", "d2.xls", "d2_2023.xls"},
                  {"", folder, "next.xls", "d2.xls"}, {"", folder, "a.txt", "b.txt"}});
    const QByteArray table = fileContent(workbook);
    tree.makeFile("next.xls", "another spreadsheet of the user's");
    tree.makeFile("a.txt", "a");

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*office, workbook), view);

    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith("有 2 行未能更名")) << view.messages[0].toStdString();
    EXPECT_TRUE(view.messages[0].contains("这是命名表所在的工作簿")) << view.messages[0].toStdString();
    EXPECT_TRUE(view.messages[0].contains("新文件名是命名表所在的工作簿")) << view.messages[0].toStdString();
    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files, QDir::Name), QStringList({"b.txt", "d2.xls", "next.xls"}));
    EXPECT_EQ(fileContent(workbook), table);
    EXPECT_EQ(fileContent(tree.path("next.xls")), "another spreadsheet of the user's");
}

// A sheet that is not a naming table, and a table the user has not filled in,
// rename nothing and say so, rather than end in "OK,YOU MAKE IT!".
TEST_F(StepThreeReadsOnly, TableWithNothingToUseSaysSo)
{
    tree.makeFile("a.txt", "a");
    const QString notATable = "这个工作簿的第一张工作表不是命名表（第 1 行应为：序号、目录、文件名、新文件名）：";
    const QString noNames = "命名表中没有新文件名，没有文件被更名。请在 D 列填写新文件名并保存。";
    const struct {
        const char *name;
        QList<QStringList> cells;
        QString message;
    } cases[] = {
        {"budget.xls", {{"Item", "Folder", "File", "New"}, {"", folder, "a.txt", "b.txt"}}, notATable},
        {"blank.xls", {}, notATable},
        {"unfilled.xls", {{"序号", "目录", "文件名", "新文件名"}, {"1", folder, "a.txt", ""}}, noNames},
        {"headeronly.xls", {{"序号", "目录", "文件名", "新文件名"}}, noNames},
    };
    for (const auto &sample : cases) {
        SCOPED_TRACE(sample.name);
        const QString workbook = tree.path(sample.name);
        makeWorkbook(*maker, workbook, sample.cells);

        ScriptedUser view;

        view.choiceAnswers << "更名其余各行";
        runToEnd(StepThreeJob(*office, workbook), view);

        const QString expected = sample.message == notATable ? notATable + workbook : sample.message;
        EXPECT_EQ(view.messages, QStringList{expected});
        EXPECT_TRUE(view.renamed.isEmpty());
        EXPECT_TRUE(view.count.isEmpty());
        EXPECT_EQ(fileContent(tree.path("a.txt")), "a");
    }
}

TEST_F(StepThreeReadsOnly, SaveMadeDuringTheStepSurvives)
{
    const QString workbook = tree.path("table.xls");
    makeWorkbook(*maker, workbook, {{"序号", "目录", "文件名", "新文件名"}, {"", folder, "a.txt", "b.txt"}});
    tree.makeFile("a.txt", "a");

    // The user may save the workbook in step 2's window while step 3 renames.
    StepThreeJob job(*office, workbook);
    job.run();
    writeFileContent(workbook, "saved by the user meanwhile");
    EXPECT_EQ(job.end().messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(fileContent(tree.path("b.txt")), "a");
    EXPECT_EQ(fileContent(workbook), "saved by the user meanwhile");
}

// Each row renames what its cells show, however narrow the column; a cell
// the office cannot hand over as text fails its own row only.
TEST_F(StepThreeReadsOnly, CellsAreReadAsShownAndABadCellFailsOnlyItsRow)
{
    for (const char *name : {"h20", "n13", "s.txt", "e.txt", "last.txt"})
        tree.makeFile(name, name);
    const QString workbook = tree.path("table.fods");
    writeFileContent(workbook,
              flatWorkbook({flatTextCell("目录") + flatTextCell("文件名") + flatTextCell("新文件名"),
                            flatTextCell(folder) + flatTextCell("h20")
                                + R"x(<table:table-cell table:style-name="jpg" office:value-type="string"><text:p>holiday20</text:p></table:table-cell>)x",
                            flatTextCell(folder) + flatTextCell("n13")
                                + R"x(<table:table-cell table:style-name="four" office:value-type="float" office:value="13"/>)x",
                            flatTextCell(folder) + flatTextCell("s.txt") + R"x(<table:table-cell table:formula="of:=UNICHAR(55296)&amp;&quot;x.txt&quot;"/>)x",
                            flatTextCell(folder) + flatTextCell("e.txt") + R"x(<table:table-cell table:formula="of:=NA()"/>)x",
                            flatTextCell(folder) + flatTextCell("last.txt") + flatTextCell("last2.txt")}));
    const QByteArray original = fileContent(workbook);

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*office, workbook), view);

    EXPECT_FALSE(office->unresponsiveReason()) << sheetFailureText(*office->unresponsiveReason()).toStdString();
    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files, QDir::Name),
              QStringList({"0013", "e.txt", "holiday20.jpg", "last2.txt", "s.txt", "table.fods"}));
    EXPECT_EQ(fileContent(tree.path("0013")), "n13");
    EXPECT_EQ(view.renamed, QStringList({"holiday20.jpg", "0013", QString(QChar(0xD800)) + "x.txt", "last2.txt"}));
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith("有 2 行未能更名")) << view.messages[0].toStdString();
    EXPECT_TRUE(view.messages[0].contains("第 4 行") && view.messages[0].contains("第 5 行")) << view.messages[0].toStdString();
    EXPECT_EQ(fileContent(workbook), original);
}

// A merged area shows only its top-left cell; what the cells under it hold
// is not what the row shows, so it is not what the row renames.
TEST_F(StepThreeReadsOnly, CellsCoveredByAMergedAreaReadAsEmpty)
{
    for (const char *name : {"m1.txt", "m2.txt", "m3.txt", "m4.txt", "m5.txt"})
        tree.makeFile(name, name);
    const auto covered = [](const QString &text) {
        return "<table:covered-table-cell office:value-type=\"string\"><text:p>" + text + "</text:p></table:covered-table-cell>";
    };
    const QString workbook = tree.path("table.fods");
    writeFileContent(
        workbook,
        flatWorkbook({flatTextCell("目录") + flatTextCell("文件名") + flatTextCell("新文件名"),
                      R"(<table:table-cell table:number-columns-spanned="3" office:value-type="string"><text:p>)" + folder
                          + "</text:p></table:table-cell>" + covered("m1.txt") + covered("m1new.txt"),
                      flatTextCell(folder)
                          + R"(<table:table-cell table:number-columns-spanned="2" office:value-type="string"><text:p>m2.txt</text:p></table:table-cell>)"
                          + covered("m2new.txt"),
                      flatTextCell(folder) + flatTextCell("m3.txt")
                          + R"(<table:table-cell table:number-rows-spanned="2" office:value-type="string"><text:p>m3new.txt</text:p></table:table-cell>)",
                      flatTextCell(folder) + flatTextCell("m4.txt") + covered("m4new.txt"),
                      R"(<table:table-cell table:number-columns-spanned="2" office:value-type="string"><text:p>)" + folder
                          + "</text:p></table:table-cell>" + covered("m5.txt") + flatTextCell("m5new.txt")}));

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*office, workbook), view);

    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files, QDir::Name),
              QStringList({"m1.txt", "m2.txt", "m3new.txt", "m4.txt", "m5.txt", "table.fods"}));
    EXPECT_EQ(view.renamed, QStringList({"", "", "m3new.txt", "", "m5new.txt"}));
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith("有 1 行未能更名")) << view.messages[0].toStdString();
    EXPECT_TRUE(view.messages[0].contains("第 6 行")) << view.messages[0].toStdString();
}

// Rows the sheet does not show may hold names typed long ago and since
// forgotten: step 3 asks before renaming them, and 否 renames only what the
// user sees. Hidden rows that rename nothing raise no question.
TEST_F(StepThreeReadsOnly, RowsTheSheetHidesAreRenamedOnlyWhenTheUserSaysSo)
{
    const QString question = "命名表中有 %1 行被隐藏或筛选掉，它们也填写了新文件名。也更名这些行吗？";
    const QStringList names = {"shown1.txt", "filtered2.txt", "filtered3.txt", "shown4.txt"};
    const QStringList newNames = {"shown1new.txt", "filtered2new.txt", "", "shown4new.txt"};
    const QStringList allRenamed = {"filtered2new.txt", "filtered3.txt", "shown1new.txt", "shown4new.txt"};
    const QStringList shownRenamed = {"filtered2.txt", "filtered3.txt", "shown1new.txt", "shown4new.txt"};
    const QStringList untouched = {"filtered2.txt", "filtered3.txt", "shown1.txt", "shown4.txt"};
    const struct {
        const char *name;
        FlatSheetHiding hiding;
        qsizetype asked; // hidden rows with a new name; 0: no question
        QStringList afterNo;
        bool sheetHidden = false; // the table's sheet, hidden by the office
    } cases[] = {
        {"hidden rows", {.hiddenRows = {2, 3}}, 1, shownRenamed},
        {"filtered rows", {.filteredRows = {2, 3}}, 1, shownRenamed},
        {"hidden new-name column", {.hiddenColumns = {4}}, 3, untouched},
        {"hidden row without a new name", {.hiddenRows = {3}}, 0, allRenamed},
        {"the first sheet hidden", {}, 3, untouched, true},
    };
    int made = 0;
    for (const auto &sample : cases) {
        for (const bool answer : {true, false}) {
            SCOPED_TRACE(std::string(sample.name) + (answer ? " 是" : " 否"));
            TempTree files;
            QStringList rows = {flatTextCell("目录") + flatTextCell("文件名") + flatTextCell("新文件名")};
            for (qsizetype i = 0; i < names.size(); ++i) {
                files.makeFile(names[i], names[i].toUtf8());
                rows << flatTextCell(files.root() + "/") + flatTextCell(names[i]) + flatTextCell(newNames[i]);
            }
            const QString workbook = tree.path(QString("hiding%1.fods").arg(++made));
            writeFileContent(workbook, flatWorkbook(rows, sample.hiding));
            if (sample.sheetHidden) {
                ASSERT_NO_FATAL_FAILURE(hideFirstSheetOf(*maker, workbook));
            }

            ScriptedUser view;

            view.choiceAnswers << "更名其余各行";
            view.yesNoAnswers = {answer};
            runToEnd(StepThreeJob(*office, workbook), view);

            const bool all = answer || sample.asked == 0;
            EXPECT_EQ(view.questions, sample.asked ? QStringList{question.arg(sample.asked)} : QStringList());
            EXPECT_EQ(QDir(files.root()).entryList(QDir::Files, QDir::Name), all ? allRenamed : sample.afterNo);
            if (!all && sample.afterNo == untouched) {
                EXPECT_EQ(view.messages, QStringList{"命名表中没有新文件名，没有文件被更名。请在 D 列填写新文件名并保存。"});
                continue;
            }
            EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
            EXPECT_EQ(view.count, QString("批量更名的文件数：%1").arg(all ? 4 : 2));
            EXPECT_EQ(fileContent(files.path("shown4new.txt")), "shown4.txt");
        }
    }
}

// The office as step 3 reads through it, but the user stops the read as soon
// as its first block of rows has come: the read is held at a known point.
struct StoppedAfterFirstBlock : SpreadsheetReader {
    SpreadsheetReader &office;
    std::function<void()> stop;
    explicit StoppedAfterFirstBlock(SpreadsheetReader &reader) : office(reader) {}
    SheetStatus openWorkbookForReading(const QString &path) override { return office.openWorkbookForReading(path); }
    SheetStatus closeWithoutSaving() override { return office.closeWithoutSaving(); }
    SheetResult<UsedExtent> usedExtent() override { return office.usedExtent(); }
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override
    {
        SheetResult<CellTextRows> block = office.readTextBlock(rect);
        stop();
        return block;
    }
    SheetResult<bool> holdsFormulas(const CellRect &rect) override { return office.holdsFormulas(rect); }
    SheetResult<QList<bool>> shownRows(const CellRect &rect) override { return office.shownRows(rect); }
    SheetStatus quit() override { return office.quit(); }
    bool isAnswering() override { return office.isAnswering(); }
};

// A read stopped between two blocks of a long table is stopped, which no
// caller can take for a failure: no reason, no rows, and step 3 says it was
// cancelled and renames nothing.
TEST_F(StepThreeReadsOnly, ReadStoppedMidTableEndsAsStoppedNeverAsAFailure)
{
    const QString workbook = tree.path("long.ods");
    QList<QStringList> rows{{"序号", "目录", "文件名", "新文件名"}};
    for (int i = 0; i < 9000; ++i)
        rows.append({"", folder, QString("f%1.txt").arg(i), QString("g%1.txt").arg(i)});
    makeWorkbook(*maker, workbook, rows);
    tree.makeFile("f0.txt", "a");

    StoppedAfterFirstBlock stopping(*office);
    WorkControl control;
    stopping.stop = [&] { control.requestStop(); };
    const NamingTableRead read = readNamingTable(stopping, workbook, &control);
    EXPECT_EQ(read.outcome, NamingTableRead::Outcome::Stopped);
    EXPECT_TRUE(read.failure.isEmpty());
    EXPECT_TRUE(read.rows.isEmpty());

    StepThreeJob job(stopping, workbook);
    stopping.stop = [&] { job.stop(); };
    ScriptedUser user;
    runToEnd(job, user);
    EXPECT_EQ(user.messages, QStringList{"已取消，没有文件被更名"});
    EXPECT_EQ(fileContent(tree.path("f0.txt")), "a");
}

} // namespace
