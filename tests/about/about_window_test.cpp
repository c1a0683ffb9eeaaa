#include "about/about_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString aboutCaption = QStringLiteral("关于 QMRT");

int visibleAboutWindows()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (qobject_cast<::AboutWindow *>(window) && window->isVisible())
            ++count;
    return count;
}

// Windows closed with delete-on-close only go away once deferred deletes run.
void finishClosing()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AboutWindow : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (about)
            about->close();
        finishClosing();
    }

    QPushButton *cmdOK() const { return about->findChild<QPushButton *>(QStringLiteral("cmdOK")); }

    QPointer<::AboutWindow> about;
};

TEST_F(AboutWindow, SecondChoiceRaisesTheSameWindowWithoutMovingIt)
{
    QWidget mainWindow;
    mainWindow.show();
    showAboutWindow(about);
    ASSERT_TRUE(about);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    // Qt centres the window before a window manager has framed it, from an
    // estimate of the frame (a title bar of about 40 pixels); the real frame
    // (frameGeometry) then grows around the client area (geometry), mostly
    // upwards for the title bar. So it is the client area that sits centred,
    // up to that estimate, whatever frame is drawn or whether there is one.
    const QPoint offCentre = about->geometry().center() - about->screen()->availableGeometry().center();
    EXPECT_LE(qAbs(offCentre.x()), 12);
    EXPECT_LE(qAbs(offCentre.y()), 45);

    const QPointer<::AboutWindow> first = about;
    about->move(about->pos() + QPoint(40, 25));
    const QPoint placedByUser = about->pos();
    mainWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));

    showAboutWindow(about);
    EXPECT_EQ(about, first);
    EXPECT_EQ(visibleAboutWindows(), 1);
    EXPECT_EQ(about->pos(), placedByUser);
    EXPECT_EQ(about->windowTitle(), aboutCaption);
    EXPECT_TRUE(QTest::qWaitForWindowActive(about));
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(AboutWindow, ReopeningAfterCloseBuildsAFreshWindowAndCaption)
{
    showAboutWindow(about);
    ASSERT_TRUE(about);
    EXPECT_EQ(about->windowTitle(), aboutCaption);
    about->setWindowTitle(QStringLiteral("left over"));

    cmdOK()->click();
    finishClosing();
    ASSERT_FALSE(about);
    EXPECT_EQ(visibleAboutWindows(), 0);

    showAboutWindow(about);
    ASSERT_TRUE(about);
    EXPECT_EQ(about->windowTitle(), aboutCaption);
    EXPECT_EQ(visibleAboutWindows(), 1);
}

TEST_F(AboutWindow, FixedDialogFrameWithClientAreaMeasuredInTwips)
{
    showAboutWindow(about);
    ASSERT_TRUE(about);
    const QSize client(qRound(5745 * about->logicalDpiX() / 1440.0), qRound(3240 * about->logicalDpiY() / 1440.0));
    EXPECT_EQ(about->size(), client);
    EXPECT_EQ(about->minimumSize(), client);
    EXPECT_EQ(about->maximumSize(), client);

    const Qt::WindowFlags flags = about->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(about->parentWidget(), nullptr);
}

class ClosingKeys : public AboutWindow, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(ClosingKeys, KeyClosesTheWindowLikeItsButton)
{
    showAboutWindow(about);
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    QWidget *focused = QApplication::focusWidget();
    ASSERT_EQ(focused, cmdOK());

    QTest::keyClick(focused, GetParam());
    finishClosing();
    EXPECT_FALSE(about);
    EXPECT_EQ(visibleAboutWindows(), 0);
}

INSTANTIATE_TEST_SUITE_P(AboutWindow, ClosingKeys, ::testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape),
                         [](const auto &test) { return QKeySequence(test.param).toString().toStdString(); });

// The main window going away must neither take the About window with it nor
// end the program while the About window is still open.
TEST_F(AboutWindow, ProgramEndsOnlyWhenAboutClosesAfterTheMainWindow)
{
    auto *mainWindow = new QWidget;
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->show();
    showAboutWindow(about);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool aboutOpenAfterMainClosed = false;
    qsizetype endingsBeforeAboutClosed = -1;
    QTimer::singleShot(0, [&] {
        mainWindow->close();
        aboutOpenAfterMainClosed = about && about->isVisible();
        QTimer::singleShot(0, [&] {
            endingsBeforeAboutClosed = lastWindowClosed.count();
            if (about)
                about->close();
        });
    });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    giveUp.start(10000);

    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(aboutOpenAfterMainClosed);
    EXPECT_EQ(endingsBeforeAboutClosed, 0);
    EXPECT_EQ(lastWindowClosed.count(), 1);
}

} // namespace
