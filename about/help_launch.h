#pragma once

#include <QString>

class Dialogs;
class QWidget;

// Path of the user guide for a program living in `programFolder`: the folder
// as given, then "/软件使用说明.chm". Nothing is normalised, so a program in
// "/" yields "//软件使用说明.chm". Cannot fail.
QString helpDocumentPath(const QString &programFolder);

// The Help menu's action: hands the guide beside the running executable to
// the desktop's default handler, once per call. Whatever the desktop does
// (no viewer, no file) is not examined and nothing is shown; the caller's
// state is left as it was.
void openHelpDocument(QWidget *owner, Dialogs &dialogs);
