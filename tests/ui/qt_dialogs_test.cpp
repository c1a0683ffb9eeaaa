#include "ui/qt_dialogs.h"

#include "tests/common/temp_tree.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The real question box: the application title, the question, 是 and 否.
TEST(QtQuestionBox, IsTitledQmrtAndAnswersWithTheButtonClicked)
{
    for (const bool yes : {true, false}) {
        QString title;
        QString text;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            for (QAbstractButton *button : box->buttons())
                buttons << button->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QtDialogs dialogs;
        EXPECT_EQ(dialogs.askYesNo(nullptr, "撤销吗？"), yes);
        EXPECT_EQ(title, "QMRT");
        EXPECT_EQ(text, "撤销吗？");
        buttons.sort();
        EXPECT_EQ(buttons, QStringList({"否", "是"}));
    }
}

// The real file chooser of step 2: its first filter is preselected, and it
// returns a name typed for a file that does not exist yet, or an existing
// one, without asking about replacing it.
TEST(QtFileChooser, TakesANewNameOrAnExistingFileWithoutAskingToReplace)
{
    TempTree tree;
    tree.makeFile("existing.ods", "mine");
    for (const QString name : {"new.xlsx", "existing.ods"}) {
        QStringList filters;
        QString preselected;
        QTimer::singleShot(0, [&] {
            auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(chooser, nullptr);
            filters = chooser->nameFilters();
            preselected = chooser->selectedNameFilter();
            chooser->setDirectory(tree.root());
            chooser->selectFile(name);
            // A dialog that refuses the name, or asks about it, shows a box of
            // its own inside accept(): close both, so the test fails, not hangs.
            QTimer::singleShot(0, [chooser] {
                if (QWidget *asking = QApplication::activeModalWidget(); asking && asking != chooser) {
                    asking->close();
                    chooser->reject();
                }
            });
            // As the Open button does, with the dialog's own checks.
            QMetaObject::invokeMethod(chooser, "accept");
        });
        QtDialogs dialogs;
        EXPECT_EQ(dialogs.chooseFileToOpenOrCreate(nullptr, "xls文件 (*.xls);;所有电子表格 (*.xls *.xlsx *.ods)"),
                  tree.path(name));
        EXPECT_EQ(filters, QStringList({"xls文件 (*.xls)", "所有电子表格 (*.xls *.xlsx *.ods)"}));
        EXPECT_EQ(preselected, "xls文件 (*.xls)");
    }
    EXPECT_EQ(fileContent(tree.path("existing.ods")), "mine");
    EXPECT_FALSE(QFile::exists(tree.path("new.xlsx")));
}

} // namespace
