#pragma once

#include "tests/common/temp_tree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Tests of step 2's visible office. Each runs in a home folder of its own, so
// the office's user profile is fresh; each needs an X display with a window
// manager (scripts/with-desktop.sh) and xwininfo, and is skipped without.
// When a test ends, the office left for the user is ended as the user
// closing its windows would.
class VisibleOfficeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs step 2 on `workbookPath` in a visible office; returns its messages.
    QStringList runStep2(const QString &workbookPath, const QStringList &folders, const QStringList &names);

    // Waits for the office to map a window on the workbook (it shows it a
    // moment after the step has returned); returns how many it shows.
    int windowsOn(const QString &workbookPath);

    // Step 2 on `workbookPath` on a thread of its own, so that the test can
    // play the user while the step waits for the office; one at a time.
    void startStep2(const QString &workbookPath, const QStringList &folders, const QStringList &names);
    bool stepTwoDone() const { return stepTwoFinished; }
    // Waits for the step started last to end and returns its messages; the
    // test fails when it takes longer than any of the step's bounds.
    QStringList messagesOfStepTwo();

    TempTree tree;

private:
    QByteArray savedHome;
    std::thread stepTwo;
    std::atomic<bool> stepTwoFinished = false;
    QStringList stepTwoMessages;
};

// The X window id of a viewable, dialog-sized window whose title matches one
// of the regular expressions `titles`, or empty when none does.
QString windowTitled(const QStringList &titles);

// Gives the window `window` the focus and presses `keys` there (xdotool key
// names, "Escape", "Return"), after typing `text` when it is not empty, as
// the user would; true when xdotool managed it.
bool answerWindow(const QString &window, const QString &text, const QStringList &keys);
