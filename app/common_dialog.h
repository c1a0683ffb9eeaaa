#pragma once

#include "dialogs.h"

#include <QString>

class QWidget;

// The main window's file-open dialog component: set Filter, call ShowOpen,
// read FileName (empty when the user chose nothing).
class CommonDialog {
public:
    CommonDialog(Dialogs &dialogs, QWidget *owner) : dialogs(dialogs), owner(owner) {}

    QString Filter;
    QString FileName;

    void ShowOpen() { FileName = dialogs.chooseOpenFile(owner, Filter); }

private:
    Dialogs &dialogs;
    QWidget *owner;
};
