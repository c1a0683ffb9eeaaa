#include "tests/common/read_ahead_watch.h"

// Passes every operation on to the office it watches.
class ReadAheadWatch::WatchedReader : public SpreadsheetReader {
public:
    WatchedReader(std::unique_ptr<SpreadsheetReader> watched, ReadAheadWatch &owner)
        : office(std::move(watched)), watch(owner)
    {
    }

    SheetStatus openWorkbookForReading(const QString &path) override { return office->openWorkbookForReading(path); }
    SheetStatus closeWithoutSaving() override
    {
        const SheetStatus closed = office->closeWithoutSaving();
        {
            const std::lock_guard lock(watch.guard);
            ++watch.readsEnded;
        }
        watch.readEnded.notify_all();
        return closed;
    }
    SheetResult<UsedExtent> usedExtent() override { return office->usedExtent(); }
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override { return office->readTextBlock(rect); }
    SheetResult<bool> holdsFormulas(const CellRect &rect) override { return office->holdsFormulas(rect); }
    SheetResult<QList<bool>> shownRows(const CellRect &rect) override { return office->shownRows(rect); }
    SheetStatus quit() override { return office->quit(); }
    bool isAnswering() override { return office->isAnswering(); }

private:
    const std::unique_ptr<SpreadsheetReader> office;
    ReadAheadWatch &watch;
};

StartSpreadsheetReader ReadAheadWatch::starter(StartSpreadsheetReader start)
{
    return [this, start = std::move(start)]() -> SheetResult<std::unique_ptr<SpreadsheetReader>> {
        auto started = start();
        if (!started.ok())
            return started;
        return SheetResult<std::unique_ptr<SpreadsheetReader>>::success(
            std::make_unique<WatchedReader>(std::move(started.value()), *this));
    };
}

bool ReadAheadWatch::waitForRead(std::chrono::milliseconds limit)
{
    std::unique_lock lock(guard);
    if (!readEnded.wait_for(lock, limit, [this] { return readsEnded > readsSeen; }))
        return false;
    readsSeen = readsEnded;
    return true;
}
