#include "app/long_work_progress.h"

#include <QWidget>

#include <chrono>

namespace {
using namespace std::chrono_literals;
constexpr auto shownAfter = 1s;
constexpr auto updatedEvery = 100ms;
} // namespace

LongWorkProgress::LongWorkProgress(StepSession &stepSession, Dialogs &userDialogs, QWidget *progressOwner)
    : QObject(progressOwner)
    , session(stepSession)
    , dialogs(userDialogs)
    , owner(progressOwner)
{
    ticks.setInterval(updatedEvery);
    connect(&ticks, &QTimer::timeout, this, &LongWorkProgress::update);
    connect(&session, &StepSession::busyChanged, this, &LongWorkProgress::follow);
    connect(&session, &StepSession::questionAsked, this, [this] { window.reset(); });
}

void LongWorkProgress::follow(bool busy)
{
    if (busy) {
        running.start();
        ticks.start();
    } else {
        ticks.stop();
        window.reset();
    }
}

void LongWorkProgress::update()
{
    // A progress window would cover the question, and its 取消 take the keys
    // meant for it; the work waits for the answer anyway.
    if (session.isAsking()) {
        window.reset();
        running.start();
        return;
    }
    if (!window) {
        if (std::chrono::milliseconds(running.elapsed()) < shownAfter)
            return;
        window = dialogs.showProgress(owner, [this] { session.cancel(); });
    }
    const StepProgress progress = session.progress();
    window->show(progress.text, progress.done, progress.total);
}
