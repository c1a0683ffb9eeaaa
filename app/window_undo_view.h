#pragma once

#include "steps/undo_step.h"
#include "ui/dialogs.h"

// Asks and answers for undo and recovery in the main window's boxes.
class WindowUndoView : public UndoView {
public:
    WindowUndoView(Dialogs &messages, QWidget *window) : dialogs(messages), owner(window) {}
    bool askYesNo(const QString &question) override { return dialogs.askYesNo(owner, question); }
    void showMessage(const QString &text) override { dialogs.showMessage(owner, text); }

private:
    Dialogs &dialogs;
    QWidget *owner;
};
