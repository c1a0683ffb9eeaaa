#include "steps/standby_office.h"
#include "tests/common/office_test_support.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// The offices this test process has running, by their launchers: the office
// program itself may restart once while it sets up a new profile, the
// launcher stays.
QList<qint64> officePrograms()
{
    QList<qint64> programs;
    for (qint64 pid : processesMentioning(ownOfficePipePrefix())) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains("oosplash"))
            programs << pid;
    }
    return programs;
}

// Waits until the office started in the background is there.
QList<qint64> officeProgramsOnceStarted()
{
    for (int attempt = 0; attempt < 300 && officePrograms().isEmpty(); ++attempt)
        QThread::msleep(100);
    return officePrograms();
}

bool noOfficeLeft()
{
    for (int attempt = 0; attempt < 100 && !processesMentioning(ownOfficePipePrefix()).isEmpty(); ++attempt)
        QThread::msleep(100);
    return processesMentioning(ownOfficePipePrefix()).isEmpty();
}

TEST(StandbyOffice, StepThreeTakesTheOfficeThatWaitsAndNothingIsLeftAfterwards)
{
    {
        StandbyOffice standby(hiddenOfficeStarter());
        standby.prepare();
        standby.prepare();
        const QList<qint64> waiting = officeProgramsOnceStarted();
        ASSERT_EQ(waiting.size(), 1) << "one office waits, however often step 2 ran";

        auto taken = standby.take();
        ASSERT_TRUE(taken.ok()) << taken.error().toStdString();
        EXPECT_EQ(officePrograms(), waiting) << "the waiting office was used, not a new one";
    }
    EXPECT_TRUE(noOfficeLeft());
}

TEST(StandbyOffice, AWaitingOfficeThatDiedIsReplacedAndOneLeftWaitingEndsWithItsOwner)
{
    {
        StandbyOffice standby(hiddenOfficeStarter());
        standby.prepare();
        ASSERT_EQ(officeProgramsOnceStarted().size(), 1);
        // Let it answer first, then end it as a crash would.
        QThread::sleep(5);
        for (qint64 pid : processesMentioning(ownOfficePipePrefix()))
            ::kill(pid_t(pid), SIGKILL);

        auto taken = standby.take();
        ASSERT_TRUE(taken.ok()) << taken.error().toStdString();
        EXPECT_TRUE(taken.value()->isAnswering());
        taken.value().reset();

        standby.prepare();
        ASSERT_EQ(officeProgramsOnceStarted().size(), 1);
    }
    EXPECT_TRUE(noOfficeLeft()) << "an office still waiting is quit with the window";
}

} // namespace
