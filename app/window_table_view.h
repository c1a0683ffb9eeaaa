#pragma once

#include "steps/naming_table_export.h"
#include "ui/dialogs.h"

// Shows step 2's messages in the main window's boxes.
class WindowTableView : public NamingTableView {
public:
    WindowTableView(Dialogs &messages, QWidget *window) : dialogs(messages), owner(window) {}
    void showMessage(const QString &text) override { dialogs.showMessage(owner, text); }

private:
    Dialogs &dialogs;
    QWidget *owner;
};
