#pragma once

#include "about/about_window.h"
#include "sheet/spreadsheet_reader.h"
#include "sheet/spreadsheet_writer.h"
#include "steps/step_session.h"
#include "ui/busy_pointer.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <optional>

class Dialogs;
class FoundEntriesModel;
class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TableCheckLine;

// How the window reaches a spreadsheet application: a visible one for step 2,
// where the user types, and a hidden one of step 3's own; and how step 3 asks
// the visible one whether the table still has changes not saved (none: never
// asked).
struct SpreadsheetStarters {
    StartSpreadsheetWriter visible;
    StartSpreadsheetReader hidden;
    AskUnsavedChanges unsavedChanges;
};

// The main window. It owns every piece of state the three steps share: the
// found entries (shown in folderList and nameList), the renamed names
// (renamedList), the pattern box, the two report boxes and the workbook path.
// Each control carries its name from the layout as objectName ("List1",
// "Command1", ...), so the window maps one to one to its layout table.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Dialogs &dialogs, SpreadsheetStarters starters);
    ~MainWindow() override;

    // Full path of the workbook chosen in step 2; empty until then.
    QString workbookPath() const { return session.workbookPath(); }

    // Size of the client area (below the menu bar) at start, in pixels.
    QSize startClientSize() const;

    // Whether a step left running as the window closed is still in its
    // call: the process must then end without destroying the window, as a
    // kill would end it, since the call may never return.
    bool workLeftRunning() const { return session.leftRunning(); }

public slots:
    // Step 1: choose a folder, then list every match of the pattern below it
    // and report counts and size in scanReport once the scan, which runs
    // beside the window, has ended; the lists are empty meanwhile, and stay
    // so when the user cancels the scan. Cancelling the folder choice shows a
    // message and changes nothing. Does nothing while a step runs.
    void chooseFolderAndScan();
    // Step 2: choose a workbook, keep its path and write the naming table
    // into it in a visible spreadsheet window, left open and unsaved.
    void chooseWorkbookAndWriteTable();
    // Step 3: rename every file from the saved naming table, beside the
    // window, showing the renamed-files list, the count and the closing
    // message at the end; refused until a workbook has been chosen. Does
    // nothing while a step runs.
    void renameFromTable();
    // Choosing a preset pattern empties all three lists and nothing else.
    void clearListsForChosenPattern();
    // 撤销更名: offers to take back the newest step-3 run not yet undone,
    // beside the window (StepSession::startUndo). Does nothing while a step
    // runs.
    void undoLastRename();
    // Offers to put right the runs cut off before their end (see
    // RecoveryJob), beside the window; the window starts this
    // once as it is made, so that no step can start before it has ended.
    void offerRecoveryOfCutOffRenames();
    // Opens the user guide with the desktop's viewer; nothing of ours is shown.
    void openHelp();
    // Shows the one About window, modeless and without an owner.
    void showAbout();

protected:
    // Closing asks nothing: a step under way is cancelled first and, for
    // step 3, its record ended; what it did shows in the lists, without a
    // message. A step that has not stopped within a second, in a call to a
    // share that stopped answering, is left running (workLeftRunning()), and
    // one message says what that leaves.
    void closeEvent(QCloseEvent *event) override;

private:
    // A question of the step under way, after the messages to read first;
    // the answer goes back to the session.
    void askForSession(const JobQuestion &question);
    // What a step has to show once it has ended.
    void showStepEnd(const StepEnd &end);
    // While a step runs: the step buttons and the menu item that starts
    // work are disabled and the busy pointer shows.
    void showStepRunning(bool running);
    void fillPatternPresets();
    QWidget *buildClientArea();
    void place(QWidget *control, int left, int top, int width, int height);
    QFrame *line(QWidget *container, const char *name, int x1, int y1, int x2, int y2);

    Dialogs &dialogs;
    const SpreadsheetStarters starters;
    StepSession session;
    std::optional<BusyPointer> busyPointer;
    FoundEntriesModel *found;
    bool closing = false;
    QPointer<AboutWindow> aboutWindow;

    QGroupBox *stepsBox;
    QListView *folderList;
    QListView *nameList;
    QGroupBox *patternFrame;
    QComboBox *patternBox;
    QListWidget *renamedList;
    QLabel *pointingHand;
    QPushButton *scanButton;
    QPushButton *tableButton;
    QPushButton *renameButton;
    QGroupBox *scanReportFrame;
    QPlainTextEdit *scanReport;
    QGroupBox *renameReportFrame;
    QLineEdit *renameReport;
    QAction *addPatternAction;
    QAction *undoAction;
    QAction *helpAction;
    QAction *aboutAction;
    TableCheckLine *checkLine;
};
