#pragma once

#include "app/main_window.h"
#include "sheet/libreoffice/unsaved_changes_probe.h"
#include "tests/common/office_test_support.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/wait_until.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

// The real main window wired to real offices, with its controls found by
// their names from the layout, as a test needs to reach them.
class MainWindowUnderTest : public MainWindow {
public:
    explicit MainWindowUnderTest(Dialogs &scripted, StartSpreadsheetWriter visible = visibleOfficeStarter(),
                                 StartSpreadsheetReader hidden = hiddenOfficeStarter())
        : MainWindow(scripted, {std::move(visible), std::move(hidden),
                                [](const QString &shownWorkbook) { return usersOfficeShowsUnsavedChanges(shownWorkbook); }})
    {
        // The recovery of runs cut off, which the window starts as it is
        // made, ends before the test goes on.
        waitUntil([this] { return Command1->isEnabled(); });
    }

    template <typename Control>
    Control *control(const char *name) const
    {
        return findChild<Control *>(QLatin1String(name));
    }

    QGroupBox *const h = control<QGroupBox>("h");
    QListView *const List1 = control<QListView>("List1");
    QListView *const List2 = control<QListView>("List2");
    QGroupBox *const Frame1 = control<QGroupBox>("Frame1");
    QComboBox *const Combo1 = control<QComboBox>("Combo1");
    QListWidget *const List3 = control<QListWidget>("List3");
    QLabel *const Image1 = control<QLabel>("Image1");
    QPushButton *const Command1 = control<QPushButton>("Command1");
    QPushButton *const Command2 = control<QPushButton>("Command2");
    QPushButton *const Command3 = control<QPushButton>("Command3");
    QGroupBox *const Frame2 = control<QGroupBox>("Frame2");
    QPlainTextEdit *const Text1 = control<QPlainTextEdit>("Text1");
    QGroupBox *const Frame3 = control<QGroupBox>("Frame3");
    QLineEdit *const Text2 = control<QLineEdit>("Text2");
    QAction *const file = control<QAction>("file");
    QAction *const undo = control<QAction>("undo");
    QAction *const help = control<QAction>("help");
    QAction *const about = control<QAction>("about");
};

// Waits until no step runs any more, which the window shows by enabling step
// 1's button again; returns whether it did.
inline bool waitForStepToEnd(const MainWindowUnderTest &window)
{
    return waitUntil([&] { return window.Command1->isEnabled(); });
}

// The texts a list shows, top to bottom.
inline QStringList shownTexts(const QAbstractItemView *list)
{
    QStringList texts;
    const QAbstractItemModel *model = list->model();
    const int column = qobject_cast<const QListView *>(list) ? static_cast<const QListView *>(list)->modelColumn() : 0;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

// How many rows a list shows.
inline int rowsShown(const QAbstractItemView *list)
{
    return list->model()->rowCount();
}

// Chooses `path` in step 2 while no office can be found, which is how a
// workbook path gets into the window without a table being written. The
// dialog and the message saying so are taken off the record.
inline void chooseWorkbookWithNoOfficeInstalled(MainWindowUnderTest &window, ScriptedDialogs &dialogs,
                                                const QString &path)
{
    const QTemporaryDir emptyFolder;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", emptyFolder.path().toLocal8Bit());
    dialogs.fileAnswers << path;
    window.chooseWorkbookAndWriteTable();
    waitForStepToEnd(window);
    qputenv("PATH", savedPath);
    dialogs.fileFilters.removeLast();
    if (!dialogs.messages.isEmpty())
        dialogs.messages.removeLast();
}
