#include "app/main_window.h"
#include "sheet/libreoffice/leftover_files.h"
#include "sheet/libreoffice/office_launch.h"
#include "sheet/libreoffice/unsaved_changes_probe.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_translations.h"

#include <QApplication>
#include <QScreen>

#include <cstdlib>

int main(int argc, char **argv)
{
    prepareProcessForLibreOffice();
    QApplication application(argc, argv);
    const std::unique_ptr<QTranslator> qtTranslations = loadQtTranslations();
    if (qtTranslations)
        application.installTranslator(qtTranslations.get());
    removeLeftoverOfficeFiles();
    QtDialogs dialogs;
    MainWindow mainWindow(dialogs, {libreOfficeWriterStarter(CalcWindow::Visible), libreOfficeReaderStarter(CalcWindow::Hidden),
                                    [](const QString &workbook) { return usersOfficeShowsUnsavedChanges(workbook); }});
    const QRect screen = mainWindow.screen()->availableGeometry();
    mainWindow.move(screen.center() - mainWindow.rect().center());
    mainWindow.show();
    const int status = application.exec();
    // The step left running as the window closed is in a call to a share
    // that may never answer, and would use the window's session once it did:
    // end here, as a kill would, which the next start puts right.
    if (mainWindow.workLeftRunning())
        std::_Exit(status);
    return status;
}
