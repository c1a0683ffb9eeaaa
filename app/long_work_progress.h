#pragma once

#include "steps/step_session.h"
#include "ui/dialogs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

// Shows a progress window over `owner` (see Dialogs::showProgress) for work
// of `session` that has run for about a second, keeps it up to date while the
// work runs, passes the user's 取消 on to the session and closes it when the
// work ends. Shorter work shows nothing. While the session asks a question,
// no progress window shows, and the second starts again when the work goes
// on. Work that has not stopped half a second after 取消 shows a window
// again, without 取消, with what the work says while it stops.
class LongWorkProgress : public QObject {
    Q_OBJECT
public:
    LongWorkProgress(StepSession &session, Dialogs &dialogs, QWidget *owner);

private:
    void follow(bool busy);
    void update();

    StepSession &session;
    Dialogs &dialogs;
    QWidget *const owner;
    QTimer ticks;
    QElapsedTimer running;
    QElapsedTimer cancelled;
    bool stoppingShown = false;
    std::unique_ptr<ProgressWindow> window;
};
