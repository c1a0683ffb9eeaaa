#pragma once

#include "sheet/sheet_failure.h"

#include <utility>
#include <variant>

// What a spreadsheet operation gives back: its value, or why it failed (a
// SheetFailure, which the steps word for the user). Nothing in the sheet
// layer throws. A result must be looked at; one ignored on purpose says so
// with bestEffort().
template <typename T>
class [[nodiscard]] SheetResult {
public:
    static SheetResult success(T value) { return SheetResult(std::move(value), {}, false); }
    // A failure is one whatever it carries: it can never be mistaken for
    // success.
    static SheetResult failure(SheetFailure why) { return SheetResult(T{}, std::move(why), true); }

    bool ok() const { return !failed; }
    const T &value() const { return result; }
    T &value() { return result; }
    // Why it failed; of a success, an Unknown failure.
    const SheetFailure &error() const { return why; }

private:
    SheetResult(T value, SheetFailure failure, bool isFailure)
        : result(std::move(value)), why(std::move(failure)), failed(isFailure)
    {
    }

    T result;
    SheetFailure why;
    bool failed;
};

using SheetStatus = SheetResult<std::monostate>;

inline SheetStatus sheetDone() { return SheetStatus::success({}); }

// Marks a call made on a best-effort basis: the caller goes on whether it
// worked or not, and says nothing of a failure.
template <typename T>
void bestEffort(const SheetResult<T> &) {}
