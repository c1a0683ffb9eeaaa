#include "form1.h"
#include "qt_dialogs.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QtDialogs dialogs;
    Form1 mainWindow(dialogs);
    const QRect screen = mainWindow.screen()->availableGeometry();
    mainWindow.move(screen.center() - mainWindow.rect().center());
    mainWindow.show();
    return application.exec();
}
