// The three steps through the main window as a user runs them: a real tree,
// a real .xls shown in a real Calc window, names typed into that window and
// saved there, then the renames. Only the dialog answers and the typing are
// played by the test.
#include "tests/app/beside_window.h"
#include "rename/run_record_folder.h"
#include "sheet/libreoffice/office_launch.h"
#include "sheet/naming_table_layout.h"
#include "tests/common/office_test_support.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/temp_tree.h"
#include "steps/sheet_failure_texts.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <cstdio>
#include <map>
#include <memory>

namespace {

using TableRows = QList<QStringList>;

// Every file below `root` by its path relative to `root`, with its content.
std::map<QString, QByteArray> filesBelow(const QString &root)
{
    std::map<QString, QByteArray> files;
    QDirIterator walk(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        QFile file(walk.next());
        file.open(QIODevice::ReadOnly);
        files[QDir(root).relativeFilePath(file.fileName())] = file.readAll();
    }
    return files;
}

class Workflow : public ::testing::Test {
protected:
    // Step 2's office runs in the user's profile; the suite gives it a home
    // of its own, shared by its tests so that office starts once.
    static void SetUpTestSuite()
    {
        home = std::make_unique<TempTree>();
        savedHome = qgetenv("HOME");
        qputenv("HOME", home->root().toLocal8Bit());
    }
    static void TearDownTestSuite()
    {
        EXPECT_TRUE(endVisibleOfficesLeftToTheUser()) << "a Calc window of the suite's outlived it";
        qputenv("HOME", savedHome);
        home.reset();
    }

    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "step 2 shows a Calc window: run under xvfb-run";
    }

    // The workbook as the user brings it, made by a hidden office and stored
    // in the Excel 97 format, holding `rowsFromA1`.
    void makeUsersWorkbook(const TableRows &rowsFromA1)
    {
        CalcOffice *office = sharedWorkingOffice();
        ASSERT_NE(office, nullptr);
        makeWorkbook(*office, workbook, rowsFromA1);
    }

    void runSteps1And2(const QString &folder)
    {
        dialogs.folderAnswers << folder;
        form.Command1->click();
        ASSERT_TRUE(waitForStepToEnd(form));
        dialogs.fileAnswers << workbook;
        form.Command2->click();
        ASSERT_TRUE(waitForStepToEnd(form));
        ASSERT_EQ(dialogs.messages, QStringList()) << dialogs.messages.join('\n').toStdString();
    }

    // The user at the window step 2 left: reaches the workbook that window
    // shows, lets `type` read and edit the table there, and saves it unless
    // told not to.
    void typeIntoWindowAndSave(const std::function<void(CalcOffice &)> &type, bool save = true)
    {
        auto attached = startLibreOfficeCalc(CalcWindow::Visible);
        ASSERT_TRUE(attached.ok()) << sheetFailureText(attached.error()).toStdString();
        CalcOffice &window = *attached.value();
        const SheetStatus opened = window.openWorkbook(workbook);
        ASSERT_TRUE(opened.ok()) << sheetFailureText(opened.error()).toStdString();
        ASSERT_NO_FATAL_FAILURE(type(window));
        if (!save)
            return;
        const SheetStatus saved = window.saveWorkbook();
        ASSERT_TRUE(saved.ok()) << sheetFailureText(saved.error()).toStdString();
    }

    void runStep3()
    {
        dialogs.messages.clear();
        form.Command3->click();
        ASSERT_TRUE(waitForStepToEnd(form));
    }

    static inline std::unique_ptr<TempTree> home;
    static inline QByteArray savedHome;

    TempTree tree;
    const QString workbook = tree.path(QStringLiteral("命名 表.xls"));
    ScriptedDialogs dialogs;
    MainWindowUnderTest form{dialogs};
};

// Names typed but not saved are not in the file step 3 reads: rather than
// rename nothing and call it done, it asks for the save first.
TEST_F(Workflow, NamesTypedButNotSavedAreAskedToBeSaved)
{
    tree.makeFile(QStringLiteral("drawings/plan.dwg"), "plan");
    ASSERT_NO_FATAL_FAILURE(makeUsersWorkbook({}));
    ASSERT_NO_FATAL_FAILURE(runSteps1And2(tree.path(QStringLiteral("drawings"))));
    const auto typeNewName = [](CalcOffice &window) {
        ASSERT_TRUE(window.putTextBlock(2, 4, {{QStringLiteral("图纸.dwg")}}).ok());
    };
    ASSERT_NO_FATAL_FAILURE(typeIntoWindowAndSave(typeNewName, false));

    runStep3();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("命名表还有未保存的修改：请先在 LibreOffice 中保存（Ctrl+S），再按【3】")});
    EXPECT_EQ(filesBelow(tree.path(QStringLiteral("drawings"))), (std::map<QString, QByteArray>{{"plan.dwg", "plan"}}));

    ASSERT_NO_FATAL_FAILURE(typeIntoWindowAndSave([](CalcOffice &) {}));
    runStep3();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("OK,YOU MAKE IT!")});
    EXPECT_EQ(filesBelow(tree.path(QStringLiteral("drawings"))), (std::map<QString, QByteArray>{{"图纸.dwg", "plan"}}));
}

TEST_F(Workflow, HeaderOnlyTableRenamesNothingAndSaysSo)
{
    tree.makeFolder(QStringLiteral("empty"));
    ASSERT_NO_FATAL_FAILURE(makeUsersWorkbook({}));
    form.List3->addItems({QStringLiteral("from an earlier run")});
    form.Text2->setText(QStringLiteral("earlier count"));

    ASSERT_NO_FATAL_FAILURE(runSteps1And2(tree.path(QStringLiteral("empty"))));
    ASSERT_NO_FATAL_FAILURE(typeIntoWindowAndSave([](CalcOffice &window) {
        EXPECT_EQ(readTexts(window, {1, 1, 2, 4}),
                  (TableRows{{"序号", "目录", "文件名", "新文件名"}, {"", "", "", ""}}));
    }));
    runStep3();

    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("命名表中没有新文件名，没有文件被更名。请在 D 列填写新文件名并保存。")});
    EXPECT_EQ(rowsShown(form.List3), 0);
    EXPECT_EQ(form.Text2->text(), QStringLiteral("earlier count"));
}

// One table holds the cases a user meets: a name left empty between two
// others, a name that is taken, a row whose folder and old name were edited,
// and rows left below the list by an earlier, longer table, which step 2
// clears so that they rename nothing.
TEST_F(Workflow, RenamesEveryRowAsTypedAndNamesTheRowThatFailed)
{
    const QString docs = QStringLiteral("files/图纸 docs/");
    const QStringList listed{"a.txt", "b 乙.txt", "c.txt", "d.txt", "e.txt"};
    for (const QString &name : listed)
        tree.makeFile(docs + name, name.toUtf8());
    tree.makeFile(docs + "taken.dat", "taken");
    tree.makeFile(docs + "old.log", "old");
    tree.makeFile(docs + "keep.log", "keep");
    tree.makeFile("files/other/notes.bin", "notes");
    const QString docsFolder = tree.path(docs);
    const QString otherFolder = tree.path(QStringLiteral("files/other/"));

    TableRows earlierTable{{"序号", "目录", "文件名", "新文件名"}};
    for (int i = 0; i < listed.size(); ++i)
        earlierTable.append({"", "/stale/", QStringLiteral("stale %1").arg(i), ""});
    earlierTable.append({"", docsFolder, "old.log", "old-renamed.log"});
    earlierTable.append({"", docsFolder, "keep.log", ""});
    ASSERT_NO_FATAL_FAILURE(makeUsersWorkbook(earlierTable));

    form.Combo1->setEditText(QStringLiteral("*.txt"));
    ASSERT_NO_FATAL_FAILURE(runSteps1And2(tree.path(QStringLiteral("files"))));
    ASSERT_EQ(rowsShown(form.List2), listed.size());

    QStringList oldNames;
    ASSERT_NO_FATAL_FAILURE(typeIntoWindowAndSave([&](CalcOffice &window) {
        // The window shows step 2's table, unsaved, and nothing below it.
        const TableRows table = readTexts(window, {2, 2, 8, 4});
        ASSERT_EQ(table.size(), 7);
        for (int row = 0; row < listed.size(); ++row) {
            EXPECT_EQ(table[row].value(0), docsFolder);
            oldNames << table[row].value(1);
        }
        EXPECT_EQ(QSet<QString>(oldNames.begin(), oldNames.end()), QSet<QString>(listed.begin(), listed.end()));
        EXPECT_EQ(table[5], (QStringList{"", "", ""}));
        EXPECT_EQ(table[6], (QStringList{"", "", ""}));

        ASSERT_TRUE(window.putTextBlock(2, 4, {{"first.txt"}, {""}, {"third.txt"}, {"taken.dat"}}).ok());
        ASSERT_TRUE(window.putTextBlock(6, 2, {{otherFolder, "notes.bin", "notes-renamed.bin"}}).ok());
    }));
    const std::map<QString, QByteArray> before = filesBelow(tree.path(QStringLiteral("files")));

    dialogs.choiceAnswers << QStringLiteral("更名其余各行");
    runStep3();

    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("有 1 行未能更名：\n第 5 行：%1 → taken.dat（新文件名已存在）").arg(oldNames[3])});
    EXPECT_EQ(shownTexts(form.List3),
              (QStringList{"first.txt", "", "third.txt", "taken.dat", "notes-renamed.bin"}));
    EXPECT_EQ(form.Text2->text(), QStringLiteral("批量更名的文件数：5"));

    std::map<QString, QByteArray> expected = before;
    const auto moved = [&](const QString &from, const QString &to) {
        expected[to] = expected.at(from);
        expected.erase(from);
    };
    moved("图纸 docs/" + oldNames[0], "图纸 docs/first.txt");
    moved("图纸 docs/" + oldNames[2], "图纸 docs/third.txt");
    moved("other/notes.bin", "other/notes-renamed.bin");
    EXPECT_EQ(filesBelow(tree.path(QStringLiteral("files"))), expected);

    // Step 3 saves the workbook back; the names typed in it must survive.
    CalcOffice *reader = sharedReadingOffice();
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(reader->openWorkbook(workbook).ok());
    EXPECT_EQ(readTexts(*reader, {2, 4, 8, 4}),
              (TableRows{{"first.txt"}, {""}, {"third.txt"}, {"taken.dat"}, {"notes-renamed.bin"}, {""}, {""}}));
}

// The line below the window says at every save what the table will do, and
// step 3 asks before it renames part of a table: 返回修改 renames nothing and
// writes no record, 更名其余各行 renames the rest as a run of the whole table
// would, and 撤销更名 takes that back.
TEST_F(Workflow, EachSaveIsCheckedAndStepThreeAsksBeforeAPartialRun)
{
    for (const char *name : {"a.dwg", "b.dwg", "c.dwg"})
        tree.makeFile(QStringLiteral("files/") + name, name);
    ASSERT_NO_FATAL_FAILURE(makeUsersWorkbook({}));
    form.Combo1->setEditText(QStringLiteral("*.dwg"));
    ASSERT_NO_FATAL_FAILURE(runSteps1And2(tree.path(QStringLiteral("files"))));
    const std::map<QString, QByteArray> before = filesBelow(tree.path(QStringLiteral("files")));
    const QLabel *line = form.findChild<QLabel *>(QStringLiteral("checkText"));
    ASSERT_NE(line, nullptr);
    const auto typeNames = [&](const TableRows &names) {
        ASSERT_NO_FATAL_FAILURE(typeIntoWindowAndSave([&](CalcOffice &window) {
            // The rows as step 2 wrote them: a.dwg, b.dwg, c.dwg in the folder's order.
            const TableRows listed = readTexts(window, {2, 3, 4, 3});
            TableRows column(3);
            for (int row = 0; row < 3; ++row)
                column[row] = names[listed[row].value(0).at(0).unicode() - u'a'];
            ASSERT_TRUE(window.putTextBlock(2, 4, column).ok());
        }));
    };
    const QRegularExpression said("^命名表（\\d\\d:\\d\\d 保存）：(.*)$");
    const auto lineSays = [&](const QString &what) {
        return waitUntil([&] { return said.match(line->text()).captured(1) == what; });
    };

    ASSERT_NO_FATAL_FAILURE(typeNames({{"x.dwg"}, {"x.dwg"}, {"c.pdf"}}));
    ASSERT_TRUE(lineSays("1 个将更名，2 行有问题，1 行改变了扩展名")) << line->text().toStdString();
    form.findChild<QPushButton *>(QStringLiteral("checkView"))->click();
    const QTableWidget *rows = form.findChild<QTableWidget *>(QStringLiteral("checkRowsTable"));
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->rowCount(), 3);
    EXPECT_EQ(rows->item(0, 4)->text(), QStringLiteral("新文件名相同（%1x.dwg）").arg(tree.path("files/")));
    EXPECT_EQ(rows->item(2, 3)->text(), "c.pdf");

    ASSERT_NO_FATAL_FAILURE(typeNames({{"x.dwg"}, {"y.dwg"}, {"c2.dwg"}}));
    ASSERT_TRUE(lineSays("3 个将更名，没有发现问题")) << line->text().toStdString();

    // Another program saves c.dwg anew, as drawing programs do: a new file
    // renamed over the one step 1 listed. Its row no longer renames.
    const QString drawing = tree.path(QStringLiteral("files/c.dwg"));
    tree.makeFile(QStringLiteral("files/c.dwg.saving"), "c.dwg");
    ASSERT_EQ(::rename(QFile::encodeName(drawing + ".saving").constData(), QFile::encodeName(drawing).constData()), 0);
    ASSERT_NO_FATAL_FAILURE(typeNames({{"x.dwg"}, {"y.dwg"}, {"c2.dwg"}}));
    ASSERT_TRUE(lineSays("2 个将更名，1 行有问题")) << line->text().toStdString();

    ASSERT_NO_FATAL_FAILURE(typeNames({{"x.dwg"}, {"x.dwg"}, {"c2.dwg"}}));
    ASSERT_TRUE(lineSays("0 个将更名，3 行有问题")) << line->text().toStdString();
    const QStringList recordsBefore = QDir(runRecordsFolder()).entryList(QDir::Files);
    runStep3();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].contains(QStringLiteral("第 2 行和第 3 行：新文件名相同"))) << dialogs.questions[0].toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "返回修改 is the default";
    EXPECT_EQ(filesBelow(tree.path(QStringLiteral("files"))), before);
    EXPECT_EQ(QDir(runRecordsFolder()).entryList(QDir::Files), recordsBefore) << "no record written";

    dialogs.choiceAnswers << QStringLiteral("更名其余各行");
    runStep3();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("有 2 行未能更名："))) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("被替换"))) << dialogs.messages[0].toStdString();
    const std::map<QString, QByteArray> renamed = filesBelow(tree.path(QStringLiteral("files")));
    // The first of the two rows in the sheet's order takes the name, as in a
    // run of the whole table; the other's file stays as it was, and so does
    // the drawing saved anew.
    ASSERT_EQ(renamed.size(), 3);
    const QByteArray tookTheName = renamed.count("x.dwg") ? renamed.at("x.dwg") : QByteArray();
    EXPECT_TRUE(tookTheName == "a.dwg" || tookTheName == "b.dwg") << tookTheName.toStdString();
    EXPECT_EQ(renamed.count(tookTheName == "a.dwg" ? "b.dwg" : "a.dwg"), 1u);
    EXPECT_EQ(renamed.count("c.dwg"), 1u);

    dialogs.messages.clear();
    dialogs.yesNoAnswers << true;
    form.undo->trigger();
    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("已撤销：1 个文件恢复了原名")});
    EXPECT_EQ(filesBelow(tree.path(QStringLiteral("files"))), before);
}

// Step 3 through the window, then 撤销更名 and 是: every file is back under
// its old name, and the run is not offered again.
TEST_F(Workflow, UndoAfterStepThreePutsTheTreeBack)
{
    const QStringList listed{"a.txt", "b.txt", "c.txt"};
    for (const QString &name : listed)
        tree.makeFile("files/" + name, name.toUtf8());
    tree.makeFile("files/sub/d.txt", "d");
    ASSERT_NO_FATAL_FAILURE(makeUsersWorkbook({}));
    form.Combo1->setEditText(QStringLiteral("*.*"));
    ASSERT_NO_FATAL_FAILURE(runSteps1And2(tree.path(QStringLiteral("files"))));
    const std::map<QString, QByteArray> before = filesBelow(tree.path(QStringLiteral("files")));

    // In each folder every entry takes the next one's name and the last the
    // first one's, a cycle that renames a folder with a file inside; an entry
    // alone in its folder gets a new name.
    ASSERT_NO_FATAL_FAILURE(typeIntoWindowAndSave([&](CalcOffice &window) {
        const TableRows table = readTexts(window, {2, 2, qint64(rowsShown(form.List2)) + 1, 3});
        std::map<QString, QList<qsizetype>> rowsOfFolder;
        for (qsizetype row = 0; row < table.size(); ++row)
            rowsOfFolder[table[row].value(0)] << row;
        QList<QStringList> newNames(table.size());
        for (const auto &[folder, rows] : rowsOfFolder) {
            for (qsizetype i = 0; i < rows.size(); ++i)
                newNames[rows[i]] = {rows.size() == 1 ? "新 " + table[rows[i]].value(1)
                                                      : table[rows[(i + 1) % rows.size()]].value(1)};
        }
        ASSERT_TRUE(window.putTextBlock(2, 4, newNames).ok());
    }));
    // A file takes the folder's name, dropping its extension: the user goes on.
    dialogs.choiceAnswers << QStringLiteral("更名其余各行");
    runStep3();
    ASSERT_EQ(dialogs.messages, QStringList{QStringLiteral("OK,YOU MAKE IT!")});
    ASSERT_NE(filesBelow(tree.path(QStringLiteral("files"))), before);

    dialogs.messages.clear();
    dialogs.questions.clear();
    dialogs.yesNoAnswers << true;
    form.undo->trigger();
    ASSERT_TRUE(waitForStepToEnd(form));

    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].endsWith(QStringLiteral("的批量更名吗？%1 个文件将恢复原名。").arg(rowsShown(form.List2))))
        << dialogs.questions[0].toStdString();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("已撤销：%1 个文件恢复了原名").arg(rowsShown(form.List2))});
    EXPECT_EQ(filesBelow(tree.path(QStringLiteral("files"))), before);

    dialogs.messages.clear();
    form.undo->trigger();
    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("没有可以撤销的批量更名")});
}

// Step 2 beside the window: a long table shows how far the writing got, and
// a cancel stops it between two blocks of rows, saving nothing; the window
// keeps answering throughout.
// The user's office as step 2 writes into it, but its second block of rows
// waits until the test lets it go: the writing is held at a known point,
// whatever the machine's speed.
class HeldAtSecondBlock : public SpreadsheetWriter {
public:
    HeldAtSecondBlock(std::unique_ptr<SpreadsheetWriter> real, std::shared_future<void> letGo)
        : office(std::move(real)), released(std::move(letGo))
    {
    }
    SheetStatus putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows) override
    {
        if (top > NamingTable::firstDataRow)
            released.wait();
        return office->putTextBlock(top, left, rows);
    }
    SheetStatus openWorkbook(const QString &path) override { return office->openWorkbook(path); }
    SheetStatus createWorkbook(const QString &path) override { return office->createWorkbook(path); }
    SheetStatus showWindow() override { return office->showWindow(); }
    SheetStatus activateFirstSheet() override { return office->activateFirstSheet(); }
    SheetResult<UsedExtent> usedExtent() override { return office->usedExtent(); }
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override { return office->readTextBlock(rect); }
    SheetStatus clearCells(const QList<CellRect> &rects) override { return office->clearCells(rects); }
    SheetStatus fitColumnsToText(qint64 first, qint64 last) override { return office->fitColumnsToText(first, last); }
    SheetStatus widenColumnToMatch(qint64 column, qint64 model) override { return office->widenColumnToMatch(column, model); }
    SheetStatus placeCursor(qint64 row, qint64 column) override { return office->placeCursor(row, column); }
    SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) override { return office->fillRects(rects, colorIndex); }
    SheetStatus clearFill(const CellRect &rect) override { return office->clearFill(rect); }
    SheetStatus runFirstSheetMacro(const QString &name) override { return office->runFirstSheetMacro(name); }
    std::optional<SheetFailure> unresponsiveReason() const override { return office->unresponsiveReason(); }

private:
    std::unique_ptr<SpreadsheetWriter> office;
    std::shared_future<void> released;
};

// Step 2's visible office, held at its second block of rows until `released`.
StartSpreadsheetWriter startHeldAtSecondBlock(const std::shared_future<void> &released)
{
    return [released]() -> SheetResult<std::unique_ptr<SpreadsheetWriter>> {
        auto started = visibleOfficeStarter()();
        if (!started.ok())
            return started;
        return SheetResult<std::unique_ptr<SpreadsheetWriter>>::success(
            std::make_unique<HeldAtSecondBlock>(std::move(started.value()), released));
    };
}

TEST_F(Workflow, CancellingStepTwoStopsTheWritingAndSavesNothing)
{
    std::promise<void> letGo;
    const std::shared_future<void> released = letGo.get_future().share();
    MainWindowUnderTest held(dialogs, startHeldAtSecondBlock(released));
    constexpr int entries = 40000;
    for (int i = 0; i < entries; ++i)
        tree.makeFile(QString("many/f%1.dwg").arg(i));
    makeUsersWorkbook({{"earlier"}});
    const QByteArray before = fileContent(workbook);
    dialogs.folderAnswers << tree.path("many");
    held.Command1->click();
    ASSERT_TRUE(waitForStepToEnd(held));

    const TickGaps gaps;
    dialogs.fileAnswers << workbook;
    held.Command2->click();
    EXPECT_FALSE(held.Command3->isEnabled());
    const QRegularExpression writing(QString("^正在写入命名表：(\\d+) / %1 行$").arg(entries));
    ASSERT_TRUE(waitUntil([&] { return progressShown(held) && writing.match(progressOf(held)->labelText()).captured(1).toInt() > 0; }));
    QElapsedTimer answered;
    answered.start();
    progressOf(held)->findChild<QPushButton *>()->click();
    letGo.set_value();
    ASSERT_TRUE(waitForStepToEnd(held));
    EXPECT_LT(answered.elapsed(), 1000);
    EXPECT_LT(gaps.largestMs(), 100);

    ASSERT_EQ(dialogs.messages.size(), 1);
    const QRegularExpressionMatch said =
        QRegularExpression(QString("^已取消：命名表只写入了 (\\d+) / %1 行，没有保存$").arg(entries)).match(dialogs.messages[0]);
    ASSERT_TRUE(said.hasMatch()) << dialogs.messages[0].toStdString();
    EXPECT_GT(said.captured(1).toInt(), 0);
    EXPECT_LT(said.captured(1).toInt(), entries);
    EXPECT_EQ(fileContent(workbook), before) << "nothing is saved";
    EXPECT_EQ(held.workbookPath(), workbook);
}

// Step 2 shows the user's office and the user starts typing there: the
// progress window that comes up while the table is written does not take the
// keyboard from whichever window has it, nor does this window once the
// writing has ended. What would take it comes within a second of the
// window's showing or going.
TEST_F(Workflow, StepTwoLeavesTheKeyboardWithTheOffice)
{
    std::promise<void> letGo;
    const std::shared_future<void> released = letGo.get_future().share();
    MainWindowUnderTest held(dialogs, startHeldAtSecondBlock(released));
    // Before the window goes, which waits for the writing.
    auto releaseAtEnd = qScopeGuard([&] { letGo.set_value(); });
    // Two blocks of rows.
    constexpr int entries = 9000;
    for (int i = 0; i < entries; ++i)
        tree.makeFile(QString("many/f%1.dwg").arg(i));
    dialogs.folderAnswers << tree.path("many");
    held.Command1->click();
    ASSERT_TRUE(waitForStepToEnd(held));
    // Another window has the keyboard, as the office's does once it shows;
    // this one shows behind it.
    held.setAttribute(Qt::WA_ShowWithoutActivating);
    held.show();
    ASSERT_TRUE(waitUntil([&] { return held.windowHandle()->isExposed(); }));
    ASSERT_EQ(QApplication::activeWindow(), nullptr);

    dialogs.fileAnswers << workbook;
    held.Command2->click();
    ASSERT_TRUE(waitUntil([&] { return progressShown(held) && progressOf(held)->windowHandle()->isExposed(); }));
    EXPECT_TRUE(progressOf(held)->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(waitUntil([] { return QApplication::activeWindow() != nullptr; }, std::chrono::seconds(1)))
        << "the progress window took the keyboard";

    releaseAtEnd.dismiss();
    letGo.set_value();
    ASSERT_TRUE(waitForStepToEnd(held));
    EXPECT_EQ(dialogs.messages, QStringList());
    EXPECT_FALSE(waitUntil([] { return QApplication::activeWindow() != nullptr; }, std::chrono::seconds(1)))
        << "this window took the keyboard";
}

} // namespace
