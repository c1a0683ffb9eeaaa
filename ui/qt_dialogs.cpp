#include "ui/qt_dialogs.h"

#include "ui/product.h"
#include "ui/qt_progress_window.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

QString QtDialogs::chooseFolder(QWidget *owner)
{
    return QFileDialog::getExistingDirectory(owner);
}

QString QtDialogs::chooseFileToOpenOrCreate(QWidget *owner, const QString &filters)
{
    // An open dialog that also takes a name not yet on disk; the static
    // helpers offer either one or a save dialog that asks about replacing.
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::showMessage(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::askYesNo(QWidget *owner, const QString &question)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), question, QMessageBox::Yes | QMessageBox::No, owner);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

int QtDialogs::askChoice(QWidget *owner, const QString &question, const QStringList &choices, int defaultChoice)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), question, QMessageBox::NoButton, owner);
    QList<QAbstractButton *> buttons;
    for (const QString &choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    box.setDefaultButton(qobject_cast<QPushButton *>(buttons.value(defaultChoice)));
    box.setEscapeButton(buttons.value(defaultChoice));
    box.exec();
    const qsizetype clicked = buttons.indexOf(box.clickedButton());
    return clicked < 0 ? defaultChoice : int(clicked);
}

bool QtDialogs::openWithDesktop(QWidget *, const QString &path)
{
    // A path such as "//name.chm" would otherwise be read as a network host.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path)));
}

std::unique_ptr<ProgressWindow> QtDialogs::showProgress(QWidget *owner, std::function<void()> cancel)
{
    return std::make_unique<QtProgressWindow>(owner, std::move(cancel));
}
