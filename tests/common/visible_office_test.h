#pragma once

#include "tests/common/temp_tree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

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

    TempTree tree;

private:
    QByteArray savedHome;
};
