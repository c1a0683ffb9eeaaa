#include "app/long_work_progress.h"

#include <QWidget>

#include <chrono>

namespace {
using namespace std::chrono_literals;
constexpr auto shownAfter = 1s;
constexpr auto updatedEvery = 100ms;
// A stop comes between two entries or units, well within this; work still
// going after it waits for a call that has not come back.
constexpr auto stoppingShownAfter = 500ms;
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
        cancelled.invalidate();
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
    if (cancelled.isValid() && !stoppingShown) {
        // 取消 hid the window; the user must see why the buttons stay off.
        if (std::chrono::milliseconds(cancelled.elapsed()) < stoppingShownAfter)
            return;
        stoppingShown = true;
        window = dialogs.showProgress(owner, {});
    }
    if (!window) {
        if (std::chrono::milliseconds(running.elapsed()) < shownAfter)
            return;
        window = dialogs.showProgress(owner, [this] {
            cancelled.start();
            stoppingShown = false;
            session.cancel();
        });
    }
    const StepProgress progress = session.progress();
    window->show(progress.text, progress.done, progress.total);
}
