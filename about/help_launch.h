#pragma once

#include <QString>

class Dialogs;
class QWidget;

// Path of the user guide for a program living in `programFolder`: the folder
// as given, then "/软件使用说明.chm". Nothing is normalised, so a program in
// "/" yields "//软件使用说明.chm". Cannot fail.
QString helpDocumentPath(const QString &programFolder);

// Where the guide of a program in `programFolder` lies: beside the executable
// (a build tree) or else in ../share/quillmere (an installed program), the
// first that holds the file. When neither does, the installed place, as that
// is where the package puts it. Cannot fail.
QString locateHelpDocument(const QString &programFolder);

// The Help menu's action: hands the guide of the running executable (see
// locateHelpDocument) to the desktop's default handler, once per call. When
// the guide is missing or the desktop cannot open files at all, shows one
// message naming the guide's path and a viewer to install, and launches
// nothing. Nothing else is shown; the caller's state is left as it was.
void openHelpDocument(QWidget *owner, Dialogs &dialogs);

// openHelpDocument for a program living in `programFolder`.
void openHelpDocumentOf(const QString &programFolder, QWidget *owner, Dialogs &dialogs);
