#include "about/help_launch.h"

#include "ui/dialogs.h"

#include <QCoreApplication>

QString helpDocumentPath(const QString &programFolder)
{
    return programFolder + QStringLiteral("/软件使用说明.chm");
}

void openHelpDocument(QWidget *owner, Dialogs &dialogs)
{
    dialogs.openWithDesktop(owner, helpDocumentPath(QCoreApplication::applicationDirPath()));
}
