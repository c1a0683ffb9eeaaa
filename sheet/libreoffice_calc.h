#pragma once

#include "spreadsheet.h"

#include <chrono>
#include <memory>

// LibreOffice Calc driven over its UNO bridge. No UNO type shows here, so
// callers build without the office's headers.

enum class CalcWindow {
    // In the user's own profile, with windows; left running for the user when
    // the object goes. An office of the user's that is already running is used,
    // and a workbook it already shows is worked on in that window as it stands,
    // unsaved changes included, rather than loaded a second time.
    Visible,
    // Headless, in a private profile of its own that is removed when the
    // object goes; it ignores document lock files, so it reads a workbook that
    // is still open in a visible window.
    Hidden,
};

// Starts an office and connects to it, waiting at most `startLimit` for it to
// answer. On failure the text names what went wrong ("soffice" missing from
// the search path, the office stopped, or it did not answer in time) and no
// process of ours is left running.
SheetResult<std::unique_ptr<Spreadsheet>> startLibreOfficeCalc(CalcWindow window,
                                                               std::chrono::seconds startLimit = std::chrono::seconds(90));
