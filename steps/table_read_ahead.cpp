#include "steps/table_read_ahead.h"

#include "rename/run_record_folder.h"
#include "sheet/naming_table_layout.h"
#include "steps/naming_table_read.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

void TableReadAhead::watch(const QString &workbookPath, std::shared_ptr<const ListedEntries> listed)
{
    const std::lock_guard lock(guard);
    if (watchedPath != workbookPath) {
        read.reset();
        lastCheck.check.reset();
    }
    watchedPath = workbookPath;
    watchedListed = std::move(listed);
}

void TableReadAhead::look(SpreadsheetReader &office)
{
    std::unique_lock lock(guard);
    const QString path = watchedPath;
    const std::shared_ptr<const ListedEntries> listed = watchedListed;
    lock.unlock();
    const std::optional<FileStamp> stamp = stampOf(path);
    const bool settled = stamp && path == lastPath && stamp == lastStamp;
    lastPath = path;
    lastStamp = stamp;
    lock.lock();
    if (!settled || (read && read->stamp == *stamp))
        return;
    reading = true;
    lock.unlock();
    std::optional<Read> fresh = readTable(office, path, *stamp);
    // Checked here, on the looking thread, so that the window never waits.
    std::optional<TableCheck> check;
    if (fresh && fresh->rows) {
        check = checkNamingTable(*fresh->rows, path, runRecordsFolder(), listed.get());
        check->plan.reset();
    }
    lock.lock();
    reading = false;
    if (watchedPath == path) {
        lastCheck = {lastCheck.number + 1, stamp->modified, std::move(check)};
        if (fresh)
            read = std::move(fresh);
    }
    readEnded.notify_all();
}

SaveCheck TableReadAhead::latestSaveCheck()
{
    const std::lock_guard lock(guard);
    return lastCheck;
}

std::optional<TableReadAhead::FileStamp> TableReadAhead::stampOf(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return std::nullopt;
    return FileStamp{file.size(), file.lastModified(), file.metadataChangeTime()};
}

QByteArray TableReadAhead::digestOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !digest.addData(&file))
        return {};
    return digest.result();
}

std::optional<TableReadAhead::Read> TableReadAhead::readTable(SpreadsheetReader &office, const QString &path,
                                                              const FileStamp &stamp)
{
    Read result{stamp, digestOf(path), std::nullopt};
    if (result.digest.isEmpty())
        return std::nullopt;
    // A sheet that is no naming table is left for step 3 to read and say so.
    const NamingTableRead table = readNamingTable(office, path);
    if (table.outcome == NamingTableRead::Outcome::Rows) {
        const QList<NamingTableRow> &rows = table.rows;
        using namespace NamingTable;
        const SheetResult<bool> formulas =
            rows.isEmpty() ? SheetResult<bool>::success(false)
                           : office.holdsFormulas({firstDataRow, folderColumn, rows.last().rowNumber, newNameColumn});
        if (formulas.ok() && !formulas.value())
            result.rows = rows;
    }
    // Holding the user's file open for as long as the user types would keep
    // a removable disk from being ejected, for one.
    bestEffort(office.closeWithoutSaving());
    // A save while the office read the file may have given rows of neither
    // state.
    if (stampOf(path) != stamp || digestOf(path) != result.digest)
        return std::nullopt;
    return result;
}

std::optional<QList<NamingTableRow>> TableReadAhead::rowsFor(const QString &workbookPath)
{
    std::unique_lock lock(guard);
    readEnded.wait(lock, [this] { return !reading; });
    if (!read || watchedPath != workbookPath || !read->rows)
        return std::nullopt;
    const Read kept = *read;
    lock.unlock();
    if (stampOf(workbookPath) != kept.stamp || digestOf(workbookPath) != kept.digest)
        return std::nullopt;
    return kept.rows;
}

void TableReadAhead::forget()
{
    const std::lock_guard lock(guard);
    read.reset();
    lastPath.clear();
    lastStamp.reset();
}
