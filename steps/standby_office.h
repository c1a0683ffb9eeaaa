#pragma once

#include "sheet/spreadsheet.h"

#include <future>

// Step 3's private hidden office, started in the background while the user
// types names into step 2's window, so that step 3 need not wait for an
// office to start. At most one waits at a time. It never touches the user's
// own office: it is whatever `startHidden` starts.
class StandbyOffice {
public:
    explicit StandbyOffice(StartSpreadsheet startHidden);
    // Quits an office that still waits, once a start under way has ended.
    ~StandbyOffice();
    StandbyOffice(const StandbyOffice &) = delete;
    StandbyOffice &operator=(const StandbyOffice &) = delete;

    // Starts an office in the background unless one waits or is starting
    // already. Returns at once; a start that fails is forgotten, and step 3
    // then starts its own.
    void prepare();

    // For step 3: the waiting office if it still answers (waiting for a start
    // under way to end), otherwise one started now, as `startHidden` would.
    // The caller owns what it gets; nothing waits afterwards.
    SheetResult<std::unique_ptr<Spreadsheet>> take();

    // take() as a starter for the steps; valid while this object lives.
    StartSpreadsheet starter();

private:
    const StartSpreadsheet startHidden;
    std::future<SheetResult<std::unique_ptr<Spreadsheet>>> starting;
};
