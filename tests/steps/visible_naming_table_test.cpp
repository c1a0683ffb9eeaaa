#include "steps/naming_table_export.h"
#include "tests/common/office_test_support.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QFileInfo>
#include <QSize>
#include <QStandardPaths>

#include <gtest/gtest.h>


namespace {

TEST(VisibleNamingTable, OpensAUsableCalcWindowAndTheSavedFileStaysReadable)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xwininfo").isEmpty())
        GTEST_SKIP() << "needs an X display (run under xvfb-run) and xwininfo";
    CalcOffice *hidden = sharedWorkingOffice();
    ASSERT_NE(hidden, nullptr);
    TempTree tree;
    tree.makeFolder("home");
    const QString path = tree.path("visible.xls");
    makeWorkbook(*hidden, path, {{"", "", "", "kept"}});

    // The visible office runs in the user's profile; give it a fresh one.
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", tree.path("home").toLocal8Bit());
    QStringList messages;
    exportNamingTable(visibleOfficeStarter(), path, foundEntries({"X\\", "Y\\"}, {"a", "b"}), [&](const QString &text) { messages << text; });
    qputenv("HOME", savedHome);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    QSize shown;
    waitUntil([&] {
        for (const QSize &window : calcWindowsShowing(QFileInfo(path).fileName()))
            shown = shown.expandedTo(window);
        return !shown.isEmpty();
    });
    EXPECT_GE(shown.width(), 640);
    EXPECT_GE(shown.height(), 480);

    // Step 3 reads the saved file while the window still holds it open.
    ASSERT_TRUE(hidden->openWorkbook(path).ok());
    EXPECT_EQ(hidden->cellText(1, 4).value(), "kept");
    EXPECT_EQ(hidden->cellText(1, 2).value(), "") << "the window's table is not saved";
    EXPECT_TRUE(hidden->saveWorkbook().ok());

    // The window is the user's to close; the test plays that part.
    EXPECT_TRUE(endVisibleOfficesLeftToTheUser());
}

} // namespace
