#include "tests/robustness/office_killed_on_cue.h"

#include "tests/common/office_test_support.h"
#include "tests/common/wait_until.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

// The processor time the process has used so far, in clock ticks.
qint64 processorTicksOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = status.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

qint64 processorTicksOf(const QList<qint64> &processes)
{
    qint64 ticks = 0;
    for (qint64 pid : processes)
        ticks += processorTicksOf(pid);
    return ticks;
}

} // namespace

std::unique_ptr<OfficeKilledOnCue> OfficeKilledOnCue::start(const QString &operation, Moment moment)
{
    const QList<qint64> before = processesMentioning(ownOfficePipePrefix());
    std::unique_ptr<Spreadsheet> office = startHiddenOfficeForTests();
    if (!office)
        return nullptr;
    // Only the office program itself, not its launcher: a crash ends the
    // office, and what follows is the launcher's and our own doing.
    QList<qint64> started;
    for (qint64 pid : ownOfficeProcesses("soffice.bin")) {
        if (!before.contains(pid))
            started << pid;
    }
    EXPECT_FALSE(started.isEmpty()) << "the office process was not found";
    return std::unique_ptr<OfficeKilledOnCue>(new OfficeKilledOnCue(std::move(office), started, operation, moment));
}

OfficeKilledOnCue::OfficeKilledOnCue(std::unique_ptr<Spreadsheet> real, QList<qint64> processes, QString killedIn,
                                     Moment killedWhen)
    : office(std::move(real)), officeProcesses(std::move(processes)), operation(std::move(killedIn)), moment(killedWhen)
{
}

OfficeKilledOnCue::~OfficeKilledOnCue()
{
    if (delayedKill.joinable())
        delayedKill.join();
}

void OfficeKilledOnCue::killOffice()
{
    for (qint64 pid : officeProcesses)
        ::kill(pid_t(pid), SIGKILL);
}

void OfficeKilledOnCue::cue(const char *called, bool callReturned)
{
    if (hasKilled || operation != QLatin1String(called) || callReturned != (moment == Moment::AfterCall))
        return;
    hasKilled = true;
    if (moment != Moment::DuringCall) {
        killOffice();
        // Let the office's end reach our side of the pipe first, as it would
        // when the crash came between two calls: a process that has ended
        // shows no command line.
        waitUntil([this] {
            return std::none_of(officeProcesses.cbegin(), officeProcesses.cend(),
                                [](qint64 pid) { return !commandLineOf(pid).isEmpty(); });
        });
    } else {
        // Killed once the office has begun to work on the call.
        delayedKill = std::thread([this, idle = processorTicksOf(officeProcesses)] {
            waitUntil([&] { return processorTicksOf(officeProcesses) > idle; });
            killOffice();
        });
    }
}

SheetStatus OfficeKilledOnCue::openWorkbook(const QString &path)
{
    return passOn("openWorkbook", [&] { return office->openWorkbook(path); });
}

SheetStatus OfficeKilledOnCue::openWorkbookForReading(const QString &path)
{
    return passOn("openWorkbookForReading", [&] { return office->openWorkbookForReading(path); });
}


SheetStatus OfficeKilledOnCue::createWorkbook(const QString &path)
{
    return passOn("createWorkbook", [&] { return office->createWorkbook(path); });
}

SheetStatus OfficeKilledOnCue::showWindow()
{
    return passOn("showWindow", [&] { return office->showWindow(); });
}

SheetStatus OfficeKilledOnCue::activateFirstSheet()
{
    return passOn("activateFirstSheet", [&] { return office->activateFirstSheet(); });
}




SheetStatus OfficeKilledOnCue::putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows)
{
    return passOn("putTextBlock", [&] { return office->putTextBlock(top, left, rows); });
}

SheetResult<CellTextRows> OfficeKilledOnCue::readTextBlock(const CellRect &rect)
{
    return passOn("readTextBlock", [&] { return office->readTextBlock(rect); });
}

SheetResult<UsedExtent> OfficeKilledOnCue::usedExtent()
{
    return passOn("usedExtent", [&] { return office->usedExtent(); });
}

SheetResult<bool> OfficeKilledOnCue::holdsFormulas(const CellRect &rect)
{
    return passOn("holdsFormulas", [&] { return office->holdsFormulas(rect); });
}

SheetStatus OfficeKilledOnCue::closeWithoutSaving()
{
    return passOn("closeWithoutSaving", [&] { return office->closeWithoutSaving(); });
}

SheetStatus OfficeKilledOnCue::fitColumnsToText(qint64 firstColumn, qint64 lastColumn)
{
    return passOn("fitColumnsToText", [&] { return office->fitColumnsToText(firstColumn, lastColumn); });
}

SheetStatus OfficeKilledOnCue::widenColumnToMatch(qint64 column, qint64 model)
{
    return passOn("widenColumnToMatch", [&] { return office->widenColumnToMatch(column, model); });
}

SheetStatus OfficeKilledOnCue::placeCursor(qint64 row, qint64 column)
{
    return passOn("placeCursor", [&] { return office->placeCursor(row, column); });
}

SheetStatus OfficeKilledOnCue::clearCells(const QList<CellRect> &rects)
{
    return passOn("clearCells", [&] { return office->clearCells(rects); });
}

SheetStatus OfficeKilledOnCue::fillRects(const QList<CellRect> &rects, int colorIndex)
{
    return passOn("fillRects", [&] { return office->fillRects(rects, colorIndex); });
}

SheetStatus OfficeKilledOnCue::clearFill(const CellRect &rect)
{
    return passOn("clearFill", [&] { return office->clearFill(rect); });
}


SheetStatus OfficeKilledOnCue::runFirstSheetMacro(const QString &name)
{
    return passOn("runFirstSheetMacro", [&] { return office->runFirstSheetMacro(name); });
}


SheetStatus OfficeKilledOnCue::quit()
{
    return passOn("quit", [&] { return office->quit(); });
}
