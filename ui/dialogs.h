#pragma once

#include <QString>

#include <functional>
#include <memory>

class QWidget;

// A window showing how far long work has got, with one button, 取消. It
// stays until this object goes, and then closes without a word.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // Shows `text` and `done` of `total`; a total of 0 means the total is not
    // known, shown as a busy bar.
    virtual void show(const QString &text, qint64 done, qint64 total) = 0;
};

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

    // Modal question box with the application title and one button per text
    // of `choices`, in order, `defaultChoice` the default. Returns the index
    // of the button clicked; closing the box counts as `defaultChoice`.
    virtual int askChoice(QWidget *owner, const QString &question, const QStringList &choices, int defaultChoice) = 0;

    // Hands `path` to the desktop's default handler for its file type.
    // Returns false when the desktop has no way to open files (no launcher
    // such as xdg-open); true only means the request was passed on, as the
    // launcher runs on its own and a viewer's refusal is its to show.
    virtual bool openWithDesktop(QWidget *owner, const QString &path) = 0;

    // Opens a progress window over `owner` and returns at once, the work
    // going on beside it; it is modal to `owner` while this program has the
    // focus, and never takes the focus from another program's window. `cancel` is called, once, when the user presses
    // 取消 or closes the window, which then hides; the work decides when it
    // has stopped and drops the window. An empty `cancel` shows no 取消: the
    // work is stopping already.
    virtual std::unique_ptr<ProgressWindow> showProgress(QWidget *owner, std::function<void()> cancel) = 0;
};
