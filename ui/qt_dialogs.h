#pragma once

#include "ui/dialogs.h"

// The real dialogs: Qt's own folder and file choosers, QMessageBox,
// QProgressDialog, and the desktop's default handler through QDesktopServices.
class QtDialogs : public Dialogs {
public:
    QString chooseFolder(QWidget *owner) override;
    QString chooseFileToOpenOrCreate(QWidget *owner, const QString &filters) override;
    void showMessage(QWidget *owner, const QString &text) override;
    bool askYesNo(QWidget *owner, const QString &question) override;
    int askChoice(QWidget *owner, const QString &question, const QStringList &choices, int defaultChoice) override;
    bool openWithDesktop(QWidget *owner, const QString &path) override;
    std::unique_ptr<ProgressWindow> showProgress(QWidget *owner, std::function<void()> cancel) override;
};
