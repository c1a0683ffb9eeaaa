#include "tests/common/visible_office_test.h"
#include "tests/common/recording_table_view.h"

#include "steps/naming_table_export.h"
#include "tests/common/office_test_support.h"
#include "tests/common/wait_until.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

void VisibleOfficeTest::SetUp()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xwininfo").isEmpty())
        GTEST_SKIP() << "needs an X display (run under scripts/with-desktop.sh) and xwininfo";
    tree.makeFolder("home");
    savedHome = qgetenv("HOME");
    qputenv("HOME", tree.path("home").toLocal8Bit());
}

void VisibleOfficeTest::TearDown()
{
    if (IsSkipped())
        return;
    EXPECT_TRUE(endVisibleOfficesLeftToTheUser());
    // A step left waiting on a question that the test never answered ends
    // with its office.
    if (stepTwo.joinable())
        stepTwo.join();
    qputenv("HOME", savedHome);
}

QStringList VisibleOfficeTest::runStep2(const QString &workbookPath, const QStringList &folders, const QStringList &names)
{
    QStringList messages;
    QElapsedTimer timer;
    timer.start();
    RecordingTableView view(messages);
    exportNamingTable(visibleOfficeStarter(), workbookPath, foundEntries(folders, names), view);
    EXPECT_LT(timer.elapsed(), 60000);
    return messages;
}

int VisibleOfficeTest::windowsOn(const QString &workbookPath)
{
    int shown = 0;
    waitUntil([&] {
        shown = int(calcWindowsShowing(QFileInfo(workbookPath).fileName()).size());
        return shown > 0;
    });
    return shown;
}

void VisibleOfficeTest::startStep2(const QString &workbookPath, const QStringList &folders, const QStringList &names)
{
    stepTwoFinished = false;
    stepTwoMessages.clear();
    stepTwo = std::thread([this, workbookPath, entries = foundEntries(folders, names)] {
        QStringList messages;
        RecordingTableView view(messages);
        exportNamingTable(visibleOfficeStarter(), workbookPath, entries, view);
        stepTwoMessages = messages;
        stepTwoFinished = true;
    });
}

QStringList VisibleOfficeTest::messagesOfStepTwo()
{
    // Longer than any bound of step 2 on an office that shows nothing. A step
    // that hangs beyond it waits on a question nobody answered: ending the
    // office ends the call it waits in, so that the test fails with what it
    // saw rather than sit until its time-out.
    if (!waitUntil([this] { return stepTwoDone(); }, std::chrono::minutes(3))) {
        ADD_FAILURE() << "step 2 did not end; the office still asked: "
                      << windowTitled({QStringLiteral(".")}).toStdString();
        endVisibleOfficesLeftToTheUser();
    }
    stepTwo.join();
    return stepTwoMessages;
}

namespace {

// Whether the window has a dialog's size: the office also keeps tiny windows
// under its name, which take no keys, and names the window that waits for a
// document as it names its questions.
bool isDialogSized(const QString &window)
{
    QProcess geometry;
    geometry.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    geometry.waitForFinished(10000);
    const QString shell = QString::fromLatin1(geometry.readAllStandardOutput());
    const auto value = [&](const QString &name) {
        return shell.section(name + QLatin1Char('='), 1, 1).section(QLatin1Char('\n'), 0, 0).toInt();
    };
    const int width = value(QStringLiteral("WIDTH"));
    const int height = value(QStringLiteral("HEIGHT"));
    return width >= 100 && height >= 50 && width < 1200 && height < 850;
}

} // namespace

QString windowTitled(const QStringList &titles)
{
    for (const QString &title : titles) {
        QProcess search;
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--name"), title});
        search.waitForFinished(10000);
        for (const QString &found : QString::fromLatin1(search.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (isDialogSized(found.trimmed()))
                return found.trimmed();
        }
    }
    return {};
}

bool answerWindow(const QString &window, const QString &text, const QStringList &keys)
{
    const QStringList focus{QStringLiteral("windowactivate"), QStringLiteral("--sync"), window};
    // xdotool's "type" takes every argument after it as text: the keys go
    // in a call of their own.
    if (!text.isEmpty()
        && QProcess::execute(QStringLiteral("xdotool"), focus + QStringList{QStringLiteral("type"), QStringLiteral("--clearmodifiers"), text}) != 0)
        return false;
    return QProcess::execute(QStringLiteral("xdotool"), focus + QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + keys) == 0;
}
