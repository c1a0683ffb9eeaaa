#pragma once

#include "ui/dialogs.h"

#include <QPointer>

class QProgressBar;
class QProgressDialog;

// A QProgressDialog named "progress" over its owner, shown at once with a
// busy bar until told the total; without a `cancel`, it has no 取消 button.
// It takes the focus from no other program's window: modal to its owner
// while a window of this program has the focus, otherwise neither modal nor
// activated. The bar is set directly, never through
// QProgressDialog::setValue, which handles events when modal and would let
// the work end, and this window go, in the middle of an update.
class QtProgressWindow : public ProgressWindow {
public:
    QtProgressWindow(QWidget *owner, std::function<void()> cancel);
    // Hides the dialog and has it deleted once control is back in the event
    // loop, as it may be ending in a call of its own.
    ~QtProgressWindow() override;

    void show(const QString &text, qint64 done, qint64 total) override;

private:
    QPointer<QProgressDialog> dialog;
    QProgressBar *bar;
};
