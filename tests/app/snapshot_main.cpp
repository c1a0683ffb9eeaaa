// Draws the main window offscreen and saves it as a PNG, for the README and
// the help document: quillmere_snapshot OUTPUT_FOLDER
#include "form1.h"
#include "scripted_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmere_snapshot OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    ScriptedDialogs dialogs;
    Form1 mainWindow(dialogs);
    mainWindow.show();
    QApplication::processEvents();
    const QString file = output.filePath("main-window.png");
    if (!mainWindow.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}
