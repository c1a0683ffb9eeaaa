#include "ui/qt_dialogs.h"

#include "ui/product.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

QString QtDialogs::chooseFolder(QWidget *owner)
{
    return QFileDialog::getExistingDirectory(owner);
}

QString QtDialogs::chooseOpenFile(QWidget *owner, const QString &filter)
{
    return QFileDialog::getOpenFileName(owner, QString(), QString(), filter);
}

void QtDialogs::showMessage(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::openWithDesktop(QWidget *, const QString &path)
{
    // A path such as "//name.chm" would otherwise be read as a network host.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path)));
}
