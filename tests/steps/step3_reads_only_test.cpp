#include "steps/batch_rename_step.h"
#include "tests/common/office_test_support.h"
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

// With "*.xls" the table lists its own workbook; a row may rename it, and
// another row may give some other file the workbook's name. Both contents
// must survive, each exactly once.
TEST_F(StepThreeReadsOnly, TableThatRenamesItsOwnWorkbookLosesNoFile)
{
    const QString workbook = tree.path("d2.xls");
    makeWorkbook(*maker, workbook,
                 {{"序号", "目录", "文件名", "新文件名"}, {"", folder, "d2.xls", "d2_2023.xls"}, {"", folder, "next.xls", "d2.xls"}});
    const QByteArray table = fileContent(workbook);
    tree.makeFile("next.xls", "another spreadsheet of the user's");
    tree.makeFile("a.txt", "a");

    RecordingRenameView view;
    renameFromWorkbook(*office, workbook, view);

    EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files, QDir::Name), QStringList({"a.txt", "d2.xls", "d2_2023.xls"}));
    EXPECT_EQ(fileContent(tree.path("d2_2023.xls")), table);
    EXPECT_EQ(fileContent(tree.path("d2.xls")), "another spreadsheet of the user's");
}

// The user may save the workbook in step 2's window while step 3 renames.
struct SavingMeanwhileView : RecordingRenameView {
    QString workbook;
    void appendRenamedNames(const QStringList &names) override
    {
        RecordingRenameView::appendRenamedNames(names);
        writeFileContent(workbook, "saved by the user meanwhile");
    }
};

TEST_F(StepThreeReadsOnly, SaveMadeDuringTheStepSurvives)
{
    const QString workbook = tree.path("table.xls");
    makeWorkbook(*maker, workbook, {{"序号", "目录", "文件名", "新文件名"}, {"", folder, "a.txt", "b.txt"}});
    tree.makeFile("a.txt", "a");

    SavingMeanwhileView view;
    view.workbook = workbook;
    renameFromWorkbook(*office, workbook, view);

    EXPECT_EQ(view.messages, QStringList{"OK,YOU MAKE IT!"});
    EXPECT_EQ(fileContent(tree.path("b.txt")), "a");
    EXPECT_EQ(fileContent(workbook), "saved by the user meanwhile");
}

// A table kept as a flat OpenDocument file, so that the test can give cells
// number formats; B to D of each row given as cell XML.
QByteArray flatWorkbook(const QStringList &rowsOfCells)
{
    QByteArray rows;
    for (const QString &cells : rowsOfCells)
        rows += "<table:table-row><table:table-cell/>" + cells.toUtf8() + "</table:table-row>\n";
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
<number:text-style style:name="N1"><number:text-content/><number:text>.jpg</number:text></number:text-style>
<style:style style:name="jpg" style:family="table-cell" style:data-style-name="N1"/>
<number:number-style style:name="N2"><number:number number:decimal-places="0" number:min-integer-digits="4"/></number:number-style>
<style:style style:name="four" style:family="table-cell" style:data-style-name="N2"/>
<style:style style:name="narrow" style:family="table-column"><style:table-column-properties style:column-width="0.2in"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet><table:table table:name="names">
<table:table-column table:number-columns-repeated="4" table:style-name="narrow"/>
)" + rows
        + "</table:table></office:spreadsheet></office:body></office:document>\n";
}

QString text(const QString &value) { return "<table:table-cell office:value-type=\"string\"><text:p>" + value + "</text:p></table:table-cell>"; }

// Each row renames what its cells show, however narrow the column; a cell
// the office cannot hand over as text fails its own row only.
TEST_F(StepThreeReadsOnly, CellsAreReadAsShownAndABadCellFailsOnlyItsRow)
{
    for (const char *name : {"h20", "n13", "s.txt", "e.txt", "last.txt"})
        tree.makeFile(name, name);
    const QString workbook = tree.path("table.fods");
    writeFileContent(workbook,
              flatWorkbook({text("目录") + text("文件名") + text("新文件名"),
                            text(folder) + text("h20")
                                + R"x(<table:table-cell table:style-name="jpg" office:value-type="string"><text:p>holiday20</text:p></table:table-cell>)x",
                            text(folder) + text("n13")
                                + R"x(<table:table-cell table:style-name="four" office:value-type="float" office:value="13"/>)x",
                            text(folder) + text("s.txt") + R"x(<table:table-cell table:formula="of:=UNICHAR(55296)&amp;&quot;x.txt&quot;"/>)x",
                            text(folder) + text("e.txt") + R"x(<table:table-cell table:formula="of:=NA()"/>)x",
                            text(folder) + text("last.txt") + text("last2.txt")}));
    const QByteArray original = fileContent(workbook);

    RecordingRenameView view;
    renameFromWorkbook(*office, workbook, view);

    EXPECT_TRUE(office->unresponsiveReason().isEmpty()) << office->unresponsiveReason().toStdString();
    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files, QDir::Name),
              QStringList({"0013", "e.txt", "holiday20.jpg", "last2.txt", "s.txt", "table.fods"}));
    EXPECT_EQ(fileContent(tree.path("0013")), "n13");
    EXPECT_EQ(view.renamed, QStringList({"holiday20.jpg", "0013", QString(QChar(0xD800)) + "x.txt", "last2.txt"}));
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].startsWith("有 2 行未能更名")) << view.messages[0].toStdString();
    EXPECT_TRUE(view.messages[0].contains("第 4 行") && view.messages[0].contains("第 5 行")) << view.messages[0].toStdString();
    EXPECT_EQ(fileContent(workbook), original);
}

} // namespace
