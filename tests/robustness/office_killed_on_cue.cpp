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

OfficeKilledOnCue::OfficeKilledOnCue(QString killedIn, Moment killedWhen)
    : operation(std::move(killedIn)), moment(killedWhen)
{
}

bool OfficeKilledOnCue::startOffice()
{
    const QList<qint64> before = processesMentioning(ownOfficePipePrefix());
    office = startHiddenOfficeForTests();
    if (!office)
        return false;
    // Only the office program itself, not its launcher: a crash ends the
    // office, and what follows is the launcher's and our own doing.
    for (qint64 pid : ownOfficeProcesses("soffice.bin")) {
        if (!before.contains(pid))
            officeProcesses << pid;
    }
    EXPECT_FALSE(officeProcesses.isEmpty()) << "the office process was not found";
    return true;
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

std::unique_ptr<WriterKilledOnCue> WriterKilledOnCue::start(const QString &operation, Moment moment)
{
    std::unique_ptr<WriterKilledOnCue> decorated(new WriterKilledOnCue(operation, moment));
    return decorated->startOffice() ? std::move(decorated) : nullptr;
}

SheetStatus WriterKilledOnCue::openWorkbook(const QString &path)
{
    return passOn("openWorkbook", [&] { return office->openWorkbook(path); });
}

SheetStatus WriterKilledOnCue::createWorkbook(const QString &path)
{
    return passOn("createWorkbook", [&] { return office->createWorkbook(path); });
}

SheetStatus WriterKilledOnCue::showWindow()
{
    return passOn("showWindow", [&] { return office->showWindow(); });
}

SheetStatus WriterKilledOnCue::activateFirstSheet()
{
    return passOn("activateFirstSheet", [&] { return office->activateFirstSheet(); });
}

SheetStatus WriterKilledOnCue::putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows)
{
    return passOn("putTextBlock", [&] { return office->putTextBlock(top, left, rows); });
}

SheetResult<UsedExtent> WriterKilledOnCue::usedExtent()
{
    return passOn("usedExtent", [&] { return office->usedExtent(); });
}

SheetResult<CellTextRows> WriterKilledOnCue::readTextBlock(const CellRect &rect)
{
    return passOn("readTextBlock", [&] { return office->readTextBlock(rect); });
}

SheetStatus WriterKilledOnCue::clearCells(const QList<CellRect> &rects)
{
    return passOn("clearCells", [&] { return office->clearCells(rects); });
}

SheetStatus WriterKilledOnCue::fitColumnsToText(qint64 firstColumn, qint64 lastColumn)
{
    return passOn("fitColumnsToText", [&] { return office->fitColumnsToText(firstColumn, lastColumn); });
}

SheetStatus WriterKilledOnCue::widenColumnToMatch(qint64 column, qint64 model)
{
    return passOn("widenColumnToMatch", [&] { return office->widenColumnToMatch(column, model); });
}

SheetStatus WriterKilledOnCue::placeCursor(qint64 row, qint64 column)
{
    return passOn("placeCursor", [&] { return office->placeCursor(row, column); });
}

SheetStatus WriterKilledOnCue::fillRects(const QList<CellRect> &rects, int colorIndex)
{
    return passOn("fillRects", [&] { return office->fillRects(rects, colorIndex); });
}

SheetStatus WriterKilledOnCue::clearFill(const CellRect &rect)
{
    return passOn("clearFill", [&] { return office->clearFill(rect); });
}

SheetStatus WriterKilledOnCue::runFirstSheetMacro(const QString &name)
{
    return passOn("runFirstSheetMacro", [&] { return office->runFirstSheetMacro(name); });
}

std::unique_ptr<ReaderKilledOnCue> ReaderKilledOnCue::start(const QString &operation, Moment moment)
{
    std::unique_ptr<ReaderKilledOnCue> decorated(new ReaderKilledOnCue(operation, moment));
    return decorated->startOffice() ? std::move(decorated) : nullptr;
}

SheetStatus ReaderKilledOnCue::openWorkbookForReading(const QString &path)
{
    return passOn("openWorkbookForReading", [&] { return office->openWorkbookForReading(path); });
}

SheetStatus ReaderKilledOnCue::closeWithoutSaving()
{
    return passOn("closeWithoutSaving", [&] { return office->closeWithoutSaving(); });
}

SheetResult<UsedExtent> ReaderKilledOnCue::usedExtent()
{
    return passOn("usedExtent", [&] { return office->usedExtent(); });
}

SheetResult<CellTextRows> ReaderKilledOnCue::readTextBlock(const CellRect &rect)
{
    return passOn("readTextBlock", [&] { return office->readTextBlock(rect); });
}

SheetResult<bool> ReaderKilledOnCue::holdsFormulas(const CellRect &rect)
{
    return passOn("holdsFormulas", [&] { return office->holdsFormulas(rect); });
}

SheetResult<QList<bool>> ReaderKilledOnCue::shownRows(const CellRect &rect)
{
    return passOn("shownRows", [&] { return office->shownRows(rect); });
}

SheetStatus ReaderKilledOnCue::quit()
{
    return passOn("quit", [&] { return office->quit(); });
}
