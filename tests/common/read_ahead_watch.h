#pragma once

#include "sheet/spreadsheet_reader.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// Hidden offices for a StandbyOffice that tell when one of them has read the
// table ahead: the read-ahead lets go of the workbook once it has read it,
// whether its rows can be used or not. For tests and benchmarks that must
// know the read is done before step 3 starts.
class ReadAheadWatch {
public:
    // Starts offices as `start` does, each watched; the watch must outlive
    // every office started so.
    StartSpreadsheetReader starter(StartSpreadsheetReader start);

    // Waits up to `limit` until a watched office has read a table ahead since
    // the last wait; returns whether one has.
    bool waitForRead(std::chrono::milliseconds limit);

private:
    class WatchedReader;

    std::mutex guard;
    std::condition_variable readEnded;
    int readsEnded = 0;
    int readsSeen = 0;
};
