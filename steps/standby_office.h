#pragma once

#include "rename/listed_entries.h"
#include "rename/row_outcome.h"
#include "sheet/spreadsheet_reader.h"
#include "steps/table_read_ahead.h"

#include <QString>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

// Step 3's private hidden office, started in the background once step 2 has
// written its table, so that step 3 need not wait for an office to start.
// While it waits it has the table read ahead (TableReadAhead), so that step
// 3 need not open the workbook either. At most one waits at a time. It never
// touches the user's own office: it is whatever `startHidden` starts.
// Threads: its own thread starts the office and reads ahead; any one other
// thread at a time (the window's, or a job's piece) may call the rest.
class StandbyOffice {
public:
    explicit StandbyOffice(StartSpreadsheetReader startHidden);
    // Quits an office that still waits, once a start or a read under way has
    // ended.
    ~StandbyOffice();
    StandbyOffice(const StandbyOffice &) = delete;
    StandbyOffice &operator=(const StandbyOffice &) = delete;

    // Starts an office in the background unless one waits or is starting
    // already, and from then on reads ahead the table saved at `workbookPath`
    // rather than any workbook named before, each save checked against
    // `listed`, the entries step 1 listed, when given. Returns at once. A start that
    // failed is forgotten, and this call starts another; until one succeeds,
    // step 3 starts its own. A read that fails is forgotten, and step 3
    // reads the table itself.
    void prepare(const QString &workbookPath, std::shared_ptr<const ListedEntries> listed = {});

    // What the check of the newest save found (TableReadAhead); from any thread.
    SaveCheck latestSaveCheck() { return readAhead.latestSaveCheck(); }

    // For step 3: see TableReadAhead::rowsFor. The office keeps waiting.
    std::optional<QList<NamingTableRow>> tableReadAhead(const QString &workbookPath);

    // For step 3: the waiting office if it still answers (waiting for a start
    // or read under way to end), otherwise one started now, as `startHidden`
    // would. The caller owns what it gets; nothing waits afterwards.
    SheetResult<std::unique_ptr<SpreadsheetReader>> take();

    // Quits the waiting office, once a start or read under way has ended;
    // nothing waits afterwards.
    void quitWaitingOffice();

private:
    SheetResult<std::unique_ptr<SpreadsheetReader>> startAndWait();
    SheetResult<std::unique_ptr<SpreadsheetReader>> endWaiting();

    const StartSpreadsheetReader startHidden;
    std::future<SheetResult<std::unique_ptr<SpreadsheetReader>>> starting;
    TableReadAhead readAhead;

    // Shared with the background thread, under `guard`.
    std::mutex guard;
    std::condition_variable stopRequested;
    bool stopping = false;
};
