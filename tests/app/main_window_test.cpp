#include "tests/app/main_window_under_test.h"
#include "tests/common/cut_off_run.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/temp_tree.h"
#include "ui/twips.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    MainWindowUnderTest form{dialogs};

    QRect inClient(const QWidget *control) const
    {
        return {control->mapTo(form.centralWidget(), QPoint(0, 0)), control->size()};
    }
    QRect twips(int left, int top, int width, int height) const
    {
        return twipsRect(left, top, width, height, form);
    }
    // Two found entries through a real scan, and one renamed name.
    void fillAllLists()
    {
        listed.makeFile("x");
        listed.makeFile("y");
        dialogs.folderAnswers << listed.root();
        form.chooseFolderAndScan();
        ASSERT_TRUE(waitForStepToEnd(form));
        form.List3->addItems({"z"});
    }
    TempTree listed;
    // Under a window manager the new size arrives later, by its own event.
    bool makeTaller()
    {
        const int wanted = form.centralWidget()->height() + twipsToPixels(1800, form);
        form.resize(form.size() + QSize(0, twipsToPixels(1800, form)));
        return QTest::qWaitFor([&] { return form.centralWidget()->height() >= wanted; });
    }
};

TEST_F(MainWindow, StartsWithPresetPatternsAndEmptyState)
{
    EXPECT_EQ(form.windowTitle(), "QMRT1.0");
    EXPECT_EQ(form.Combo1->currentText(), "*.*");
    EXPECT_EQ(form.Combo1->currentIndex(), -1);
    QStringList presets;
    for (int i = 0; i < form.Combo1->count(); ++i)
        presets << form.Combo1->itemText(i);
    EXPECT_EQ(presets, (QStringList{"*.dwg", "*.xls", "*.doc", "*.pdf", "*.jpg", "*.bmp", "*.*"}));
    for (const QAbstractItemView *list : std::initializer_list<const QAbstractItemView *>{form.List1, form.List2, form.List3})
        EXPECT_EQ(rowsShown(list), 0);
    EXPECT_TRUE(form.Text1->toPlainText().isEmpty());
    EXPECT_TRUE(form.Text2->text().isEmpty());
    EXPECT_TRUE(form.workbookPath().isEmpty());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowIcon().isNull());
}

TEST_F(MainWindow, MenuBarHoldsFourItemsThatActDirectly)
{
    const QList<QAction *> items = form.menuBar()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items.at(0)->text(), "添加文件类型");
    EXPECT_EQ(items.at(1)->text(), "撤销更名");
    EXPECT_EQ(items.at(1), form.undo);
    EXPECT_EQ(items.at(2)->text(), "帮助");
    EXPECT_EQ(items.at(3)->text(), "关于");
    for (const QAction *item : items)
        EXPECT_EQ(item->menu(), nullptr);
}

// What the layout must keep, however its numbers change: no control covers
// part of another (a frame holds its controls whole), and once the window is
// made taller every control lies inside the client area.
TEST_F(MainWindow, ControlsNeitherOverlapNorLeaveTheTallerClientArea)
{
    form.show();
    EXPECT_EQ(form.centralWidget()->size(), twips(0, 0, 13635, 7380).size());
    ASSERT_TRUE(makeTaller());
    const QRect client = form.centralWidget()->rect();
    const QList<QWidget *> controls = form.centralWidget()->findChildren<QWidget *>(
        QRegularExpression("^(h|List[123]|Frame[123]|Combo1|Image1|Command[123]|Text[12])$"));
    ASSERT_EQ(controls.size(), 14);
    for (const QWidget *control : controls) {
        const QRect area = inClient(control);
        EXPECT_TRUE(client.contains(area)) << control->objectName().toStdString();
        for (const QWidget *other : controls) {
            const QRect otherArea = inClient(other);
            if (other != control && area.intersects(otherArea)) {
                EXPECT_TRUE(area.contains(otherArea) || otherArea.contains(area))
                    << control->objectName().toStdString() << " covers part of " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(form.Command2->text(), "【2】->选择EXCEL文件；        建立命名规则");
    EXPECT_EQ(form.h->title(), "Tarnwick（含子目录文件）");
}

// The README and the help document show the window as quillmere_snapshot
// draws it; a change of the layout must draw the picture again.
TEST_F(MainWindow, LooksAsThePictureInTheDocumentsShowsIt)
{
    form.show();
    QApplication::processEvents();
    const QImage picture(QStringLiteral(QUILLMERE_MAIN_WINDOW_PICTURE));
    ASSERT_FALSE(picture.isNull()) << QUILLMERE_MAIN_WINDOW_PICTURE;
    EXPECT_EQ(form.grab().toImage().convertToFormat(picture.format()), picture)
        << "draw it again: build/tests/app/quillmere_snapshot docs";
}

TEST_F(MainWindow, ReportBoxesShowOnlyAfterTheWindowIsMadeTaller)
{
    form.show();
    const QRect client = form.centralWidget()->rect();
    EXPECT_FALSE(client.contains(inClient(form.Frame2)));
    const QRect frame3 = inClient(form.Frame3);
    const QRect listBefore = inClient(form.List1);

    ASSERT_TRUE(makeTaller());
    const QRect taller = form.centralWidget()->rect();
    EXPECT_TRUE(taller.contains(inClient(form.Frame2)));
    EXPECT_TRUE(taller.contains(frame3));
    EXPECT_EQ(inClient(form.List1), listBefore) << "resizing moves nothing";
}

TEST_F(MainWindow, FocusMovesThroughTheControlsInStepOrder)
{
    const QList<QWidget *> expected{form.List1, form.Command1, form.Command2, form.Command3, form.List2,
                                    form.List3, form.Combo1, form.Text1, form.Text2};
    QWidget *current = form.List1;
    for (qsizetype i = 1; i < expected.size(); ++i) {
        current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus || current->focusProxy())
            current = current->nextInFocusChain();
        EXPECT_EQ(current, expected.at(i)) << "after " << expected.at(i - 1)->objectName().toStdString();
    }
}

TEST_F(MainWindow, ChoosingAPresetEmptiesTheListsAndNothingElse)
{
    fillAllLists();
    form.Text1->setPlainText("report");
    form.Text2->setText("count");
    chooseWorkbookWithNoOfficeInstalled(form, dialogs, "/tmp/book.xls");

    QTest::keyClick(form.Combo1, Qt::Key_Down);

    EXPECT_EQ(form.Combo1->currentText(), "*.dwg");
    for (const QAbstractItemView *list : std::initializer_list<const QAbstractItemView *>{form.List1, form.List2, form.List3})
        EXPECT_EQ(rowsShown(list), 0);
    EXPECT_EQ(form.Text1->toPlainText(), "report");
    EXPECT_EQ(form.Text2->text(), "count");
    EXPECT_EQ(form.workbookPath(), "/tmp/book.xls");
}

TEST_F(MainWindow, TypingAPatternClearsNothingAndStepOneUsesItExactly)
{
    TempTree tree;
    tree.makeFile("keep.dwg");
    tree.makeFile("notes.txt");
    fillAllLists();

    form.Combo1->lineEdit()->clear();
    QTest::keyClicks(form.Combo1->lineEdit(), "*.TXT");
    QTest::keyClick(form.Combo1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(rowsShown(form.List1), 2);
    EXPECT_EQ(rowsShown(form.List3), 1);

    dialogs.folderAnswers << tree.root();
    form.Command1->click();
    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_EQ(shownTexts(form.List2), QStringList{"notes.txt"});
    EXPECT_EQ(rowsShown(form.List3), 1) << "step 1 leaves the renamed list alone";
}

TEST_F(MainWindow, StepOneListsTheTreeAndReports)
{
    TempTree tree;
    tree.makeFile("a.dwg", QByteArray(1500, 'x'));
    tree.makeFile("sub/b.dwg", QByteArray(10, 'y'));
    tree.makeFile("sub/c.txt");
    dialogs.folderAnswers << tree.root();

    form.Command1->click();
    ASSERT_TRUE(waitForStepToEnd(form));

    const QString root = tree.root() + '/';
    EXPECT_EQ(shownTexts(form.List1), (QStringList{root, root, root + "sub/", root + "sub/"}));
    const QStringList names = shownTexts(form.List2);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()),
              (QSet<QString>{"a.dwg", "sub", "b.dwg", "c.txt"}));
    EXPECT_EQ(form.Text1->toPlainText(), "查找到的文件数：3\n查找的目录数：1\n文件大小总共为：\n1,510字节");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "busy pointer is restored";
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.progressWindows, 0) << "a short scan shows no progress";
}

// What a screen reader reads of each list, item by item.
QStringList accessibleTexts(QWidget *list)
{
    QStringList texts;
    QAccessibleInterface *const view = QAccessible::queryAccessibleInterface(list);
    for (int i = 0; view && i < view->childCount(); ++i)
        texts << view->child(i)->text(QAccessible::Name);
    return texts;
}

// Both lists show one column each of the same entries; assistive technology
// must read each as the column it shows, not folder, name, folder, name.
TEST_F(MainWindow, AssistiveTechnologyReadsEachListAsTheColumnItShows)
{
    fillAllLists();
    const QString root = listed.root() + '/';
    EXPECT_EQ(accessibleTexts(form.List1), (QStringList{root, root}));
    const QStringList names = accessibleTexts(form.List2);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()), (QSet<QString>{"x", "y"}));
}

TEST_F(MainWindow, CancellingTheFolderChoiceOnlyShowsAMessage)
{
    fillAllLists();
    form.Text1->setPlainText("earlier report");
    form.Command1->click();
    EXPECT_EQ(dialogs.messages, QStringList{"请选择目录"});
    EXPECT_EQ(rowsShown(form.List1), 2);
    EXPECT_EQ(rowsShown(form.List2), 2);
    EXPECT_EQ(form.Text1->toPlainText(), "earlier report");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindow, UndoWithNoRunSaysThereIsNothingToUndo)
{
    form.undo->trigger();
    ASSERT_TRUE(waitForStepToEnd(form));
    EXPECT_EQ(dialogs.messages, QStringList{"没有可以撤销的批量更名"});
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

// The question comes as the window is made, before any step can start; it
// stays uncovered while the user takes seconds to read it, and 是 then puts
// the run's files back.
TEST(MainWindowStart, OffersToPutBackARunCutOffAndDoesSoOnYes)
{
    TempTree tree;
    tree.makeFile("a", "A");
    tree.makeFile("b", "B");
    const QString top = tree.root() + "/";
    ASSERT_TRUE(leaveRunCutOffAfterItsRenames({{2, top, "a", "b"}, {3, top, "b", "a"}}));
    ASSERT_EQ(folderListing(tree.root()), QStringList({"a=B", "b=A"}));
    ScriptedDialogs dialogs;
    dialogs.yesNoAnswers << true;
    dialogs.questionsOpenFor = std::chrono::seconds(3);

    const MainWindowUnderTest form(dialogs);

    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].startsWith("上次批量更名（")) << dialogs.questions[0].toStdString();
    EXPECT_TRUE(dialogs.questions[0].endsWith("）在完成前中断了。现在把已更名的 2 个文件恢复原名吗？"));
    EXPECT_EQ(dialogs.progressWhileAsking, 0);
    EXPECT_EQ(dialogs.messages, QStringList{"已撤销：2 个文件恢复了原名"});
    EXPECT_EQ(folderListing(tree.root()), QStringList({"a=A", "b=B"}));
}

TEST_F(MainWindow, AddFileTypeMenuItemDoesNothing)
{
    fillAllLists();
    form.file->trigger();
    EXPECT_EQ(rowsShown(form.List1), 2);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.launched.isEmpty());
}

} // namespace

namespace {

TEST_F(MainWindow, HelpMenuHandsTheGuideBesideTheProgramToTheDesktop)
{
    form.help->trigger();
    form.help->trigger();
    const QString expected = QCoreApplication::applicationDirPath() + "/软件使用说明.chm";
    EXPECT_EQ(dialogs.launched, (QStringList{expected, expected}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(MainWindow, AboutMenuKeepsOneOwnerlessWindow)
{
    form.show();
    form.about->trigger();
    form.about->trigger();
    const QList<AboutWindow *> windows = [] {
        QList<AboutWindow *> found;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *about = qobject_cast<AboutWindow *>(top); about && about->isVisible())
                found << about;
        return found;
    }();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows.first()->parentWidget(), nullptr);
    EXPECT_EQ(windows.first()->windowTitle(), "关于 QMRT");
    EXPECT_TRUE(form.isEnabled());
    windows.first()->close();
}

} // namespace

namespace {

TEST_F(MainWindow, StepTwoWithoutAChosenFileForgetsTheWorkbookAndSaysSo)
{
    chooseWorkbookWithNoOfficeInstalled(form, dialogs, "/earlier/book.xls");
    form.Command2->click();
    EXPECT_EQ(dialogs.fileFilters, QStringList{"xls文件 (*.xls);;Excel 工作簿 (*.xlsx);;OpenDocument 电子表格 (*.ods);;"
                                               "所有电子表格 (*.xls *.xlsx *.ods)"});
    EXPECT_TRUE(form.workbookPath().isEmpty());
    EXPECT_EQ(dialogs.messages, QStringList{"没有选择文件,请重新选择"});
}

TEST_F(MainWindow, StepThreeRefusesUntilAWorkbookWasChosen)
{
    fillAllLists();
    form.Text2->setText("earlier count");
    form.Command3->click();
    EXPECT_EQ(dialogs.messages, QStringList{"请先做前2步;否则不能批量命名"});
    EXPECT_EQ(rowsShown(form.List3), 1) << "nothing else happens";
    EXPECT_EQ(form.Text2->text(), "earlier count");
}

} // namespace
