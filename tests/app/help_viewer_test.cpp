#include "tests/app/main_window_under_test.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"
#include "ui/qt_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

// The Help menu of the real window against the real desktop: xdg-open and a
// .chm viewer on an X display with a window manager (scripts/with-desktop.sh).
namespace {

const QString guideTitle = QStringLiteral("软件使用说明");

QString runXdotool(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    xdotool.waitForFinished(10000);
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

QStringList windowsTitled(const QString &title)
{
    return runXdotool({"search", "--name", title}).split('\n', Qt::SkipEmptyParts);
}

class HelpMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X display (scripts/with-desktop.sh)";
        for (const char *tool : {"xdotool", "xdg-open", "xchm"})
            ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " missing: run scripts/setup-debian.sh";
        ASSERT_TRUE(windowsTitled(guideTitle).isEmpty()) << "a viewer of the guide is already open";
        dialogs.desktop = &desktop;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    QtDialogs desktop;
    ScriptedDialogs dialogs;
    MainWindowUnderTest form{dialogs};
};

TEST_F(HelpMenu, OpensTheGuideInARealViewerWindow)
{
    form.help->trigger();

    QStringList viewers;
    EXPECT_TRUE(waitUntil([&] { return !(viewers = windowsTitled(guideTitle)).isEmpty(); }))
        << "no window titled " << guideTitle.toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();

    // The viewer runs on its own; the test closes it as the user would.
    for (const QString &window : viewers) {
        const qint64 viewer = runXdotool({"getwindowpid", window}).toLongLong();
        ASSERT_GT(viewer, 0) << "viewer window " << window.toStdString() << " names no process";
        ::kill(static_cast<pid_t>(viewer), SIGTERM);
    }
    EXPECT_TRUE(waitUntil([] { return windowsTitled(guideTitle).isEmpty(); }));
}

TEST_F(HelpMenu, WithoutALauncherSaysWhatToInstallAndTheWindowWorksOn)
{
    const QByteArray searchPath = qgetenv("PATH");
    TempTree tree;
    tree.makeFolder("no-launcher");
    tree.makeFile("chosen/a.txt", "a");
    qputenv("PATH", tree.path("no-launcher").toLocal8Bit());
    form.help->trigger();
    qputenv("PATH", searchPath);

    ASSERT_EQ(dialogs.messages.size(), 1);
    const QString guide = QCoreApplication::applicationDirPath() + QStringLiteral("/软件使用说明.chm");
    EXPECT_TRUE(dialogs.messages[0].contains(guide)) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("xchm")));

    dialogs.folderAnswers << tree.path("chosen");
    form.Command1->click();
    ASSERT_TRUE(waitForStepToEnd(form));
    ASSERT_EQ(rowsShown(form.List2), 1);
    EXPECT_EQ(shownTexts(form.List2), QStringList{"a.txt"});
    EXPECT_TRUE(windowsTitled(guideTitle).isEmpty());
}

} // namespace
