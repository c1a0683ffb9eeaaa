// Draws the main window and the About window offscreen and saves them as PNGs, for the README and
// the help document: quillmere_snapshot OUTPUT_FOLDER
#include "tests/app/main_window_under_test.h"
#include "about/about_window.h"
#include "tests/common/private_state_home.h"
#include "tests/common/scripted_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>
#include <utility>

int main(int argc, char **argv)
{
    usePrivateStateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmere_snapshot OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    ScriptedDialogs dialogs;
    MainWindowUnderTest mainWindow(dialogs);
    AboutWindow aboutWindow;
    mainWindow.show();
    aboutWindow.show();
    QApplication::processEvents();
    for (const auto &[window, name] : {std::pair<QWidget *, const char *>{&mainWindow, "main-window.png"},
                                       {&aboutWindow, "about-window.png"}}) {
        const QString file = output.filePath(name);
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
