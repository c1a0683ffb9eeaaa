#include "steps/step_three_job.h"
#include "steps/standby_office.h"
#include "tests/common/office_test_support.h"
#include "tests/common/read_ahead_watch.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"
#include "tests/common/wait_until.h"
#include "steps/sheet_failure_texts.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

namespace {

qint64 parentOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = status.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

// The offices this test process has running, by their launchers: the office
// program itself may restart once while it sets up a new profile, the
// launcher stays. A child the launcher has just forked shows the launcher's
// command line until it starts the office program, and is not counted.
QList<qint64> officePrograms()
{
    const QList<qint64> launchers = ownOfficeProcesses("oosplash");
    QList<qint64> programs;
    for (qint64 pid : launchers) {
        if (!launchers.contains(parentOf(pid)))
            programs << pid;
    }
    return programs;
}

// Waits until the office started in the background is there.
QList<qint64> officeProgramsOnceStarted()
{
    waitUntil([] { return !officePrograms().isEmpty(); });
    return officePrograms();
}

bool noOfficeLeft()
{
    return waitUntil([] { return processesMentioning(ownOfficePipePrefix()).isEmpty(); });
}

TEST(StandbyOffice, StepThreeTakesTheOfficeThatWaitsAndNothingIsLeftAfterwards)
{
    {
        StandbyOffice standby(hiddenOfficeStarter());
        standby.prepare(QString());
        standby.prepare(QString());
        const QList<qint64> waiting = officeProgramsOnceStarted();
        ASSERT_EQ(waiting.size(), 1) << "one office waits, however often step 2 ran";

        auto taken = standby.take();
        ASSERT_TRUE(taken.ok()) << sheetFailureText(taken.error()).toStdString();
        EXPECT_EQ(officePrograms(), waiting) << "the waiting office was used, not a new one";
    }
    EXPECT_TRUE(noOfficeLeft());
}

TEST(StandbyOffice, AWaitingOfficeThatDiedIsReplacedAndOneLeftWaitingEndsWithItsOwner)
{
    {
        std::atomic<bool> answering = false;
        const StartSpreadsheetReader startHidden = hiddenOfficeStarter();
        StandbyOffice standby([&] {
            auto started = startHidden();
            answering = started.ok();
            return started;
        });
        standby.prepare(QString());
        ASSERT_EQ(officeProgramsOnceStarted().size(), 1);
        // Once it answers, end it as a crash would.
        ASSERT_TRUE(waitUntil([&] { return answering.load(); }));
        for (qint64 pid : processesMentioning(ownOfficePipePrefix()))
            ::kill(pid_t(pid), SIGKILL);

        auto taken = standby.take();
        ASSERT_TRUE(taken.ok()) << sheetFailureText(taken.error()).toStdString();
        EXPECT_TRUE(taken.value()->isAnswering());
        taken.value().reset();

        standby.prepare(QString());
        ASSERT_EQ(officeProgramsOnceStarted().size(), 1);
    }
    EXPECT_TRUE(noOfficeLeft()) << "an office still waiting is quit with the window";
}

TEST(StandbyOffice, AStartThatFailedIsForgottenAndTheNextStepTwoStartsAnother)
{
    std::atomic<int> starts = 0;
    const StartSpreadsheetReader startHidden = hiddenOfficeStarter();
    const StartSpreadsheetReader failingOnce = [&]() -> SheetResult<std::unique_ptr<SpreadsheetReader>> {
        if (starts++ == 0)
            return SheetResult<std::unique_ptr<SpreadsheetReader>>::failure(
                SheetFailure(SheetFailureKind::StoppedWhileStarting).withNumbers({1}));
        return startHidden();
    };
    {
        StandbyOffice standby(failingOnce);
        standby.prepare(QString());
        // Step 2 run again, until the failed start has ended and is replaced.
        waitUntil([&] {
            standby.prepare(QString());
            return starts >= 2;
        });
        ASSERT_EQ(starts.load(), 2) << "a failed start was kept, so no office was started again";
        const QList<qint64> waiting = officeProgramsOnceStarted();
        ASSERT_EQ(waiting.size(), 1);

        auto taken = standby.take();
        ASSERT_TRUE(taken.ok()) << sheetFailureText(taken.error()).toStdString();
        EXPECT_TRUE(taken.value()->isAnswering());
        EXPECT_EQ(starts.load(), 2) << "step 3 took the office started on the second try";
    }
    EXPECT_TRUE(noOfficeLeft());
}

// The table read ahead stands for one saved state of the workbook only: a
// save made after it was read, of the same size and within the same second
// as it may be, has step 3 read the table again. What the sheet hides is
// known from either read.
TEST(StandbyOffice, StepThreeRenamesFromTheTableReadAheadOnlyWhileTheWorkbookIsUnchanged)
{
    TempTree tree;
    const QString folder = tree.root() + "/";
    const QString workbook = tree.path("table.fods");
    const auto table = [&](const QString &from, const QString &to) {
        return flatWorkbook({flatTextCell("目录") + flatTextCell("文件名") + flatTextCell("新文件名"),
                             flatTextCell(folder) + flatTextCell(from) + flatTextCell(to),
                             flatTextCell(folder) + flatTextCell("hidden.txt") + flatTextCell("hidden2.txt")},
                            {.hiddenRows = {2}});
    };
    tree.makeFile("a.txt", "a");
    tree.makeFile("hidden.txt", "h");
    {
        ReadAheadWatch readAhead;
        StandbyOffice standby(readAhead.starter(hiddenOfficeStarter()));
        writeFileContent(workbook, table("a.txt", "b.txt"));
        standby.prepare(workbook);
        ASSERT_TRUE(readAhead.waitForRead(std::chrono::minutes(2)));
        ScriptedUser view;
        view.choiceAnswers << "更名其余各行";
        runToEnd(StepThreeJob(standby, workbook), view);
        EXPECT_TRUE(noOfficeLeft()) << "the waiting office is quit once step 3 is done";

        standby.prepare(workbook);
        ASSERT_TRUE(readAhead.waitForRead(std::chrono::minutes(2)));
        writeFileContent(workbook, table("b.txt", "c.txt"));
        runToEnd(StepThreeJob(standby, workbook), view);
        EXPECT_EQ(view.messages, QStringList({"OK,YOU MAKE IT!", "OK,YOU MAKE IT!"}));
        EXPECT_EQ(view.questions.size(), 2) << "both reads knew the row was hidden";
    }
    EXPECT_EQ(fileContent(tree.path("c.txt")), "a");
    EXPECT_EQ(fileContent(tree.path("hidden.txt")), "h");
    EXPECT_TRUE(noOfficeLeft());
}

} // namespace
