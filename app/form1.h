#pragma once

#include "common_dialog.h"
#include "frm_about.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

class Dialogs;
class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The main window. It owns every piece of state the three steps share: the
// file list pair (List1 folders, List2 names), the renamed names (List3), the
// pattern box, the two report boxes and the Workbook path.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(Dialogs &dialogs);

    // Controls, public like a form's controls: the steps' handlers and the
    // tests work on them directly.
    QGroupBox *h;
    QListWidget *List1;
    QListWidget *List2;
    QGroupBox *Frame1;
    QComboBox *Combo1;
    QListWidget *List3;
    QLabel *Image1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
    QGroupBox *Frame2;
    QPlainTextEdit *Text1;
    QGroupBox *Frame3;
    QLineEdit *Text2;
    QFrame *Line2;
    QFrame *Line4;
    QFrame *Line5;
    QAction *file;
    QAction *help;
    QAction *about;
    CommonDialog CommonDialog1;

    // Full path of the workbook chosen in step 2; empty until then.
    QString WorkbookPath;

    // Size of the client area (below the menu bar) at start, in pixels.
    QSize startClientSize() const;

public slots:
    // Step 1: choose a folder, list every match of the pattern below it and
    // report counts and size in Text1. Cancel shows a message, changes nothing.
    void Command1_Click();
    // Step 2: choose a workbook, keep its path and write the naming table
    // into it in a visible LibreOffice Calc window, left open and unsaved.
    void Command2_Click();
    // Step 3: rename every file from the saved naming table; refused until a
    // workbook has been chosen.
    void Command3_Click();
    // Choosing a preset pattern empties all three lists and nothing else.
    void Combo1_Click();
    // Opens the user guide with the desktop's viewer; nothing of ours is shown.
    void help_Click();
    // Shows the one About window, modeless and without an owner.
    void about_Click();

private:
    void Form_Load();
    QWidget *buildClientArea();
    void place(QWidget *control, int left, int top, int width, int height);
    QFrame *line(QWidget *container, const char *name, int x1, int y1, int x2, int y2);

    Dialogs &dialogs;
    QPointer<frmAbout> aboutWindow;
};
