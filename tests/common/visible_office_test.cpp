#include "tests/common/visible_office_test.h"
#include "tests/common/recording_table_view.h"

#include "steps/naming_table_export.h"
#include "tests/common/office_test_support.h"
#include "tests/common/wait_until.h"

#include <QElapsedTimer>
#include <QFileInfo>
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
    qputenv("HOME", savedHome);
    EXPECT_TRUE(endVisibleOfficesLeftToTheUser());
}

QStringList VisibleOfficeTest::runStep2(const QString &workbookPath, const QStringList &folders, const QStringList &names)
{
    QStringList messages;
    QElapsedTimer timer;
    timer.start();
    RecordingTableView stepTwo(messages);
    exportNamingTable(visibleOfficeStarter(), workbookPath, foundEntries(folders, names),
                      stepTwo);
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
