#pragma once

#include <QDialog>
#include <QPointer>

// The About window: icon, title with version, description and disclaimer,
// closed by its one button (also by Enter and Esc). It is a top-level window
// of its own, never owned by the main window, and deletes itself on close so
// that the next opening builds a fresh one. Construction cannot fail.
// Its objectName is "frmAbout".
class AboutWindow : public QDialog {
    Q_OBJECT

public:
    AboutWindow();
};

// The About menu item: creates and shows the one About window when `current`
// holds none, otherwise brings that window to the front without moving it.
// `current` tracks the window and clears itself once the user closes it.
// Cannot fail.
void showAboutWindow(QPointer<AboutWindow> &current);
