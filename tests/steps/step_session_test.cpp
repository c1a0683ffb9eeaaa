#include "steps/scan_step.h"
#include "steps/step_session.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"

#include <QCoreApplication>

#include <condition_variable>
#include <mutex>
#include <thread>

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
        QString leftRunning;
        EXPECT_TRUE(session.cancelAndWait(std::chrono::minutes(1), &leftRunning));
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

// A job of two pieces with a question between them. Each piece waits at a
// gate the test opens, so that the work is held at a known point.
class GatedJob : public Job {
public:
    explicit GatedJob(bool mayBeLetGo = false) : letGo(mayBeLetGo) {}

    void openGate()
    {
        const std::lock_guard lock(guard);
        ++gatesOpen;
        gateOpened.notify_all();
    }
    int piecesEntered() const { return entered; }

    void run() override
    {
        ++entered;
        std::unique_lock lock(guard);
        gateOpened.wait(lock, [this] { return gatesOpen >= entered; });
        finishedPieces = entered.load();
    }
    std::optional<JobQuestion> question() override
    {
        if (finishedPieces != 1)
            return std::nullopt;
        return JobQuestion{{"read first"}, "go on?"};
    }
    void answer(int choice) override { answered = choice == answeredYes; }
    StepEnd end() override
    {
        return {.messages = {answered ? (*answered ? "yes" : "no") : "not answered"}};
    }
    StepProgress progress() const override { return {"gated"}; }
    bool letGoWhenStopped() const override { return letGo; }

private:
    const bool letGo;
    std::mutex guard;
    std::condition_variable gateOpened;
    int gatesOpen = 0;
    std::atomic<int> entered = 0;
    int finishedPieces = 0;
    std::optional<bool> answered;
};

// A job whose piece is in a call that does not return, as a rename on a share
// that stopped answering: the stop waits for the call.
class HungJob : public GatedJob {
public:
    QString endedWithoutWaitingText() const override { return "left mid-way"; }
};

// What a session reported of a job, in order.
struct JobReports {
    QStringList events;
    explicit JobReports(StepSession &session)
    {
        QObject::connect(&session, &StepSession::busyChanged, [this](bool busy) { events << (busy ? "busy" : "idle"); });
        QObject::connect(&session, &StepSession::questionAsked, [this](const JobQuestion &question) {
            events << question.messagesFirst << question.text;
        });
        QObject::connect(&session, &StepSession::ended, [this](const StepEnd &end) { events << end.messages; });
    }
};

// The question comes between the two pieces, after the messages to read
// first; the session stays busy while it waits for the answer, and the next
// piece carries the answer out. Stopped work asks nothing.
TEST(JobSession, AsksBetweenPiecesAndCarriesOutTheAnswerButAsksNothingOnceStopped)
{
    for (const bool stopFirst : {false, true}) {
        SCOPED_TRACE(stopFirst);
        StepSession session{StartSpreadsheetReader()};
        const JobReports reports(session);
        const auto job = std::make_shared<GatedJob>();
        ASSERT_TRUE(session.start(job));
        ASSERT_TRUE(waitUntil([&] { return job->piecesEntered() == 1; }));
        if (stopFirst)
            session.cancel();
        job->openGate();
        if (stopFirst) {
            ASSERT_TRUE(waitUntil([&] { return !session.isBusy(); }));
            EXPECT_EQ(reports.events, (QStringList{"busy", "not answered", "idle"}));
            continue;
        }
        ASSERT_TRUE(waitUntil([&] { return session.isAsking(); }));
        EXPECT_TRUE(session.isBusy());
        EXPECT_FALSE(session.start(std::make_shared<GatedJob>()));
        session.answer(answeredYes);
        job->openGate();
        ASSERT_TRUE(waitUntil([&] { return !session.isBusy(); }));
        EXPECT_EQ(reports.events, (QStringList{"busy", "read first", "go on?", "yes", "idle"}));
    }
}

// A piece the job may let go of ends the job at once when stopped, however
// long its call takes; the next job may start, and whoever needs what the
// piece still uses waits for it.
TEST(JobSession, StoppedPieceLetGoOfEndsAtOnceAndIsWaitedForWhereNeeded)
{
    StepSession session{StartSpreadsheetReader()};
    const JobReports reports(session);
    const auto held = std::make_shared<GatedJob>(true);
    ASSERT_TRUE(session.start(held));
    ASSERT_TRUE(waitUntil([&] { return held->piecesEntered() == 1; }));
    session.cancel();
    EXPECT_FALSE(session.isBusy());
    EXPECT_EQ(reports.events, (QStringList{"busy", "not answered", "idle"}));

    const auto next = std::make_shared<GatedJob>(true);
    ASSERT_TRUE(session.start(next));
    ASSERT_TRUE(waitUntil([&] { return next->piecesEntered() == 1; }));
    session.cancel();

    std::atomic<bool> awaited = false;
    std::thread needsTheOffice([&] {
        session.awaitReadsLetGo();
        awaited = true;
    });
    held->openGate();
    EXPECT_FALSE(awaited) << "the second piece let go of still runs";
    next->openGate();
    needsTheOffice.join();
    EXPECT_TRUE(awaited);
}

// A window that closes waits for a piece only so long: a piece whose call
// does not return is left running, its end never reported, and the session
// keeps its thread until the call returns.
TEST(JobSession, CancelAndWaitLeavesAPieceThatDoesNotReturnRunning)
{
    StepSession session{StartSpreadsheetReader()};
    const JobReports reports(session);
    const auto hung = std::make_shared<HungJob>();
    ASSERT_TRUE(session.start(hung));
    ASSERT_TRUE(waitUntil([&] { return hung->piecesEntered() == 1; }));

    QString said;
    EXPECT_FALSE(session.cancelAndWait(std::chrono::milliseconds(100), &said));
    EXPECT_EQ(said, "left mid-way");
    EXPECT_FALSE(session.isBusy());
    EXPECT_TRUE(session.leftRunning());
    EXPECT_EQ(reports.events, (QStringList{"busy", "idle"})) << "no end is reported";

    hung->openGate();
    ASSERT_TRUE(waitUntil([&] { return !session.leftRunning(); }));
    EXPECT_EQ(reports.events, (QStringList{"busy", "idle"}));
}

} // namespace
