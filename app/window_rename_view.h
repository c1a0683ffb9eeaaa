#pragma once

#include "steps/batch_rename_step.h"
#include "ui/dialogs.h"

#include <QLineEdit>
#include <QListWidget>

// Shows step 3's results in the main window's controls and message boxes.
class WindowRenameView : public BatchRenameView {
public:
    WindowRenameView(QListWidget &renamedList, QLineEdit &countBox, Dialogs &messages, QWidget *window)
        : renamed(renamedList), count(countBox), dialogs(messages), owner(window)
    {
    }
    void appendRenamedNames(const QStringList &names) override { renamed.addItems(names); }
    void setCountText(const QString &text) override { count.setText(text); }
    void showMessage(const QString &text) override { dialogs.showMessage(owner, text); }
    bool askYesNo(const QString &question) override { return dialogs.askYesNo(owner, question); }

private:
    QListWidget &renamed;
    QLineEdit &count;
    Dialogs &dialogs;
    QWidget *owner;
};
