#include "steps/standby_office.h"

#include "sheet/naming_table_layout.h"
#include "steps/naming_table_read.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

// How often the saved workbook is looked at. A state seen twice in a row has
// settled, so that a save still being written is not read.
constexpr auto lookInterval = std::chrono::milliseconds(300);

} // namespace

StandbyOffice::StandbyOffice(StartSpreadsheet starter) : startHidden(std::move(starter)) {}

StandbyOffice::~StandbyOffice()
{
    quitWaitingOffice();
}

void StandbyOffice::prepare(const QString &workbookPath)
{
    {
        const std::lock_guard lock(guard);
        if (watchedPath != workbookPath)
            readAhead.reset();
        watchedPath = workbookPath;
    }
    // Only a start that failed ends of itself; one that succeeded watches
    // until it is told to stop. A failed start is dropped, so this one tries
    // again.
    if (starting.valid() && starting.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        starting = {};
    if (starting.valid())
        return;
    starting = std::async(std::launch::async, [this] { return startAndWatch(); });
}

SheetResult<std::unique_ptr<Spreadsheet>> StandbyOffice::startAndWatch()
{
    auto started = startHidden();
    if (!started.ok())
        return started;
    Spreadsheet &office = *started.value();
    QString lastPath;
    std::optional<FileStamp> lastStamp;
    std::unique_lock lock(guard);
    while (!changed.wait_for(lock, lookInterval, [this] { return stopping; })) {
        const QString path = watchedPath;
        lock.unlock();
        const std::optional<FileStamp> stamp = stampOf(path);
        const bool settled = stamp && path == lastPath && stamp == lastStamp;
        lastPath = path;
        lastStamp = stamp;
        lock.lock();
        if (!settled || stopping || (readAhead && readAhead->stamp == *stamp))
            continue;
        reading = true;
        lock.unlock();
        std::optional<ReadAhead> fresh = readTable(office, path, *stamp);
        lock.lock();
        reading = false;
        if (fresh && watchedPath == path)
            readAhead = std::move(fresh);
        changed.notify_all();
    }
    return started;
}

std::optional<StandbyOffice::FileStamp> StandbyOffice::stampOf(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return std::nullopt;
    return FileStamp{file.size(), file.lastModified(), file.metadataChangeTime()};
}

QByteArray StandbyOffice::digestOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !digest.addData(&file))
        return {};
    return digest.result();
}

std::optional<StandbyOffice::ReadAhead> StandbyOffice::readTable(Spreadsheet &office, const QString &path,
                                                                 const FileStamp &stamp)
{
    ReadAhead read{stamp, digestOf(path), std::nullopt};
    if (read.digest.isEmpty())
        return std::nullopt;
    const SheetResult<QList<NamingTableRow>> rows = readNamingTable(office, path);
    if (rows.ok()) {
        using namespace NamingTable;
        const SheetResult<bool> formulas =
            rows.value().isEmpty()
                ? SheetResult<bool>::success(false)
                : office.holdsFormulas({firstDataRow, folderColumn, rows.value().last().rowNumber, newNameColumn});
        if (formulas.ok() && !formulas.value())
            read.rows = rows.value();
    }
    // Holding the user's file open for as long as the user types would keep
    // a removable disk from being ejected, for one.
    bestEffort(office.closeWithoutSaving());
    // A save while the office read the file may have given rows of neither
    // state.
    if (stampOf(path) != stamp || digestOf(path) != read.digest)
        return std::nullopt;
    return read;
}

std::optional<QList<NamingTableRow>> StandbyOffice::tableReadAhead(const QString &workbookPath)
{
    std::unique_lock lock(guard);
    changed.wait(lock, [this] { return !reading; });
    if (!readAhead || watchedPath != workbookPath || !readAhead->rows)
        return std::nullopt;
    const ReadAhead read = *readAhead;
    lock.unlock();
    if (stampOf(workbookPath) != read.stamp || digestOf(workbookPath) != read.digest)
        return std::nullopt;
    return read.rows;
}

bool StandbyOffice::waitForReadAhead(std::chrono::milliseconds limit)
{
    std::unique_lock lock(guard);
    return changed.wait_for(lock, limit, [this] { return readAhead.has_value(); });
}

SheetResult<std::unique_ptr<Spreadsheet>> StandbyOffice::endWatching()
{
    {
        const std::lock_guard lock(guard);
        stopping = true;
    }
    changed.notify_all();
    auto office = starting.get();
    const std::lock_guard lock(guard);
    stopping = false;
    readAhead.reset();
    return office;
}

SheetResult<std::unique_ptr<Spreadsheet>> StandbyOffice::take()
{
    if (starting.valid()) {
        auto waiting = endWatching();
        if (waiting.ok() && waiting.value()->isAnswering())
            return waiting;
    }
    return startHidden();
}

StartSpreadsheet StandbyOffice::starter()
{
    return [this] { return take(); };
}

void StandbyOffice::quitWaitingOffice()
{
    // The office handed back is dropped here, which quits it.
    if (starting.valid())
        bestEffort(endWatching());
}
