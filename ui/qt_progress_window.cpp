#include "ui/qt_progress_window.h"

#include "ui/product.h"

#include <QApplication>
#include <QProgressBar>
#include <QProgressDialog>

#include <limits>
#include <utility>

QtProgressWindow::QtProgressWindow(QWidget *owner, std::function<void()> cancel)
    : dialog(new QProgressDialog(owner))
    , bar(new QProgressBar)
{
    dialog->setObjectName(QStringLiteral("progress"));
    dialog->setWindowTitle(applicationTitle());
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    // Shown while another program's window has the focus, the user's office
    // above all, it must not take the keys typed there; and Qt activates a
    // modal window as it shows it, so it is modal only while the user works
    // in this program.
    dialog->setAttribute(Qt::WA_ShowWithoutActivating);
    dialog->setWindowModality(QApplication::activeWindow() ? Qt::WindowModal : Qt::NonModal);
    if (cancel)
        dialog->setCancelButtonText(QStringLiteral("取消"));
    else
        dialog->setCancelButton(nullptr);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    dialog->setBar(bar);
    // The button, Esc and the close button all end up here; the caller is told once.
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [cancel = std::move(cancel), told = false]() mutable {
        if (!std::exchange(told, true) && cancel)
            cancel();
    });
    dialog->show();
}

QtProgressWindow::~QtProgressWindow()
{
    if (dialog) {
        dialog->hide();
        dialog->deleteLater();
    }
}

void QtProgressWindow::show(const QString &text, qint64 done, qint64 total)
{
    if (!dialog)
        return;
    dialog->setLabelText(text);
    if (total <= 0) {
        bar->setRange(0, 0);
        return;
    }
    // A bar counts in int; larger totals are shown in proportion.
    const qint64 scale = total / std::numeric_limits<int>::max() + 1;
    bar->setRange(0, int(total / scale));
    bar->setValue(int(std::min(done, total) / scale));
}
