#pragma once

#include <QString>

class QWidget;

// Everything the program asks of the user or hands to the desktop goes through
// here, so tests can answer in the user's place while the rest stays real.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Folder-browse dialog owned by `owner`. Returns the chosen folder's path,
    // or an empty text when the user cancels.
    virtual QString chooseFolder(QWidget *owner) = 0;

    // File dialog owned by `owner` for a file to open or to make: the user
    // picks an existing file or types the name of one that does not exist
    // yet, and is never asked about replacing one. Offers `filters` (Qt
    // filter syntax, separated by ";;"), the first one preselected. Returns
    // the full path as chosen or typed, or an empty text on cancel.
    virtual QString chooseFileToOpenOrCreate(QWidget *owner, const QString &filters) = 0;

    // Modal message box with the application title and an OK button only.
    virtual void showMessage(QWidget *owner, const QString &text) = 0;

    // Modal question box with the application title and the buttons 是 and
    // 否. Returns true for 是; closing the box counts as 否.
    virtual bool askYesNo(QWidget *owner, const QString &question) = 0;

    // Hands `path` to the desktop's default handler for its file type.
    // Returns false when the desktop has no way to open files (no launcher
    // such as xdg-open); true only means the request was passed on, as the
    // launcher runs on its own and a viewer's refusal is its to show.
    virtual bool openWithDesktop(QWidget *owner, const QString &path) = 0;
};
