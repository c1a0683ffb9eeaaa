#include "about/help_launch.h"

#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString helpDocumentPath(const QString &programFolder)
{
    return programFolder + QStringLiteral("/软件使用说明.chm");
}

QString locateHelpDocument(const QString &programFolder)
{
    const QString besideProgram = helpDocumentPath(programFolder);
    if (QFileInfo(besideProgram).isFile())
        return besideProgram;
    return QDir::cleanPath(helpDocumentPath(programFolder + QStringLiteral("/../share/quillmere")));
}

void openHelpDocument(QWidget *owner, Dialogs &dialogs)
{
    openHelpDocumentOf(QCoreApplication::applicationDirPath(), owner, dialogs);
}

void openHelpDocumentOf(const QString &programFolder, QWidget *owner, Dialogs &dialogs)
{
    const QString guide = locateHelpDocument(programFolder);
    // A missing file is not handed on: the viewer would only open empty.
    if (QFileInfo(guide).isFile() && dialogs.openWithDesktop(owner, guide))
        return;
    dialogs.showMessage(owner, QStringLiteral("无法打开软件使用说明：\n%1\n\n"
                                              "请确认该文件存在，并安装 .chm 文件阅读器"
                                              "（软件包 xchm：apt install xchm）。")
                                   .arg(guide));
}
