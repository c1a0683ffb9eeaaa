#include "about/about_window.h"

#include "ui/app_icon.h"
#include "ui/product.h"
#include "ui/twips.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

// One element of the etched separator: a horizontal run of plain colour with a
// fixed pixel thickness, as thin lines look wrong when scaled.
void addSeparatorLine(QWidget *window, int index, const QColor &colour, QRect pixels)
{
    auto *line = new QFrame(window);
    line->setObjectName(QStringLiteral("Line1"));
    line->setProperty("index", index);
    line->setFrameShape(QFrame::NoFrame);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    line->setGeometry(pixels);
}

QLabel *addLabel(QWidget *window, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, window);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

} // namespace

AboutWindow::AboutWindow()
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A fixed dialog frame: title bar with system menu and close button only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setWindowIcon(quillmereIcon());
    setWindowTitle(QStringLiteral("关于 ") + applicationTitle());

    setFixedSize(twipsSize(5745, 3240, *this));

    auto *picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setPixmap(quillmereIcon().pixmap(32, 32));
    const int border = 2 * picIcon->frameWidth();
    picIcon->setGeometry(QRect(twipsRect(240, 240, 0, 0, *this).topLeft(), QSize(32 + border, 32 + border)));

    addLabel(this, QStringLiteral("lblTitle"), productNameWithVersion())
        ->setGeometry(twipsRect(1050, 240, 3885, 480, *this));
    addLabel(this, QStringLiteral("lblDescription"),
             QStringLiteral("本工具找出一个文件夹及其全部子文件夹中符合文件类型的文件，"
                            "列入电子表格，再按您在表格中填写的新文件名批量更名。"))
        ->setGeometry(twipsRect(1050, 1125, 3885, 1170, *this));
    addLabel(this, QStringLiteral("lblDisclaimer"), QStringLiteral("更名后不能撤销，请先备份重要文件。"))
        ->setGeometry(twipsRect(255, 2625, 3630, 585, *this));

    const int lineLeft = twipsToPixels(90, *this);
    const int lineRight = twipsToPixels(5654, *this);
    addSeparatorLine(this, 1, QColor(128, 128, 128),
                     QRect(lineLeft, twipsToPixelsVertical(2445, *this), lineRight - lineLeft + 1, 1));
    const int whiteLeft = twipsToPixels(105, *this);
    addSeparatorLine(this, 0, Qt::white,
                     QRect(whiteLeft, twipsToPixelsVertical(2460, *this), lineRight - whiteLeft + 1, 2));

    auto *cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4125, 2625, 1500, 345, *this));
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    // Esc reaches the dialog's reject(), which closes it just like this click.
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
}

void showAboutWindow(QPointer<AboutWindow> &current)
{
    if (!current)
        current = new AboutWindow;
    // The first show centres a new window on the screen; for a window already
    // on screen show() changes nothing, so it stays where the user put it.
    current->show();
    current->setWindowState(current->windowState() & ~Qt::WindowMinimized);
    current->raise();
    current->activateWindow();
}
