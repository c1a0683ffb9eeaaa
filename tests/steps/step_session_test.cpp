#include "steps/scan_step.h"
#include "steps/step_session.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// Everything a session reported, in order.
struct Reports {
    QStringList events;
    FoundEntries entries;
    QString text;

    explicit Reports(StepSession &session)
    {
        QObject::connect(&session, &StepSession::busyChanged, [this](bool busy) { events << (busy ? "busy" : "idle"); });
        QObject::connect(&session, &StepSession::ended, [this](const StepEnd &end) {
            events << (end.found ? "finished" : "cancelled");
            entries = end.found.value_or(FoundEntries());
            text = end.scanReport.value_or(QString());
        });
    }
};

TEST(ScanSession, ReportsTheScanInOnePieceAtItsEndAndTakesNoSecondWorkMeanwhile)
{
    TempTree tree;
    tree.makeFile("a.dwg", "123");
    tree.makeFile("sub/b.dwg");
    StepSession session{StartSpreadsheetReader()};
    const Reports reports(session);

    ASSERT_TRUE(session.startScan(tree.root(), "*.dwg"));
    EXPECT_TRUE(session.isBusy());
    EXPECT_EQ(reports.events, QStringList{"busy"}) << "nothing comes before the end";
    EXPECT_TRUE(session.progress().text.startsWith("正在查找：已查看 "));
    EXPECT_EQ(session.progress().total, 0) << "a scan's total is not known";
    EXPECT_FALSE(session.startScan(tree.root(), "*.*"));

    ASSERT_TRUE(waitUntil([&] { return !session.isBusy(); }));
    EXPECT_EQ(reports.events, (QStringList{"busy", "finished", "idle"}));
    EXPECT_EQ(reports.entries.fileNames, (QStringList{"a.dwg", "b.dwg"}));
    EXPECT_EQ(reports.text, scanReportText({2, 1, 3}, QLocale::system()));
    EXPECT_TRUE(session.progress().text.isEmpty());
}

// However the race with the scan's own end goes, the end is reported once,
// before cancelAndWait returns, and nothing follows from the event loop.
TEST(ScanSession, CancelAndWaitReportsTheEndOnceBeforeReturning)
{
    TempTree tree;
    for (int i = 0; i < 200; ++i)
        tree.makeFile(QString("d%1/f.txt").arg(i));
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        StepSession session{StartSpreadsheetReader()};
        const Reports reports(session);
        ASSERT_TRUE(session.startScan(tree.root(), "*.*"));
        session.cancelAndWait();
        EXPECT_FALSE(session.isBusy());
        ASSERT_EQ(reports.events.size(), 3);
        EXPECT_TRUE(reports.events[1] == "cancelled" || reports.events[1] == "finished");
        if (reports.events[1] == "cancelled") {
            EXPECT_EQ(reports.text, "已取消查找");
            EXPECT_EQ(reports.entries.size(), 0);
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(reports.events.size(), 3);
        EXPECT_TRUE(session.startScan(tree.root(), "*.*")) << "free for the next work";
        ASSERT_TRUE(waitUntil([&] { return !session.isBusy(); }));
        EXPECT_EQ(reports.entries.size(), 400);
    }
}

// A session that goes while a scan runs stops it and says nothing more.
TEST(ScanSession, GoingWhileAScanRunsStopsItQuietly)
{
    TempTree tree;
    for (int i = 0; i < 200; ++i)
        tree.makeFile(QString("d%1/f.txt").arg(i));
    QStringList events;
    {
        StepSession session{StartSpreadsheetReader()};
        QObject::connect(&session, &StepSession::ended, [&] { events << "ended"; });
        ASSERT_TRUE(session.startScan(tree.root(), "*.*"));
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.isEmpty());
}

} // namespace
