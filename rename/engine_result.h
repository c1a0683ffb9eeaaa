#pragma once

#include <optional>
#include <utility>

// What an operation of the rename engine gives back: success, or why it
// failed. A result must be looked at; one ignored on purpose says so with
// bestEffort(). Read at a call site, `if (!renameNoReplace(a, b).ok())` says
// what it means.
template <typename Failure>
class [[nodiscard]] EngineResult {
public:
    static EngineResult success() { return EngineResult(); }
    // A failure converts implicitly, so that a function returns its reason
    // as it is.
    EngineResult(Failure why) : failure(std::move(why)) {}

    bool ok() const { return !failure.has_value(); }
    // Only for a result that is not ok().
    const Failure &error() const { return *failure; }

private:
    EngineResult() = default;

    std::optional<Failure> failure;
};

// Marks a call made on a best-effort basis: the caller goes on whether it
// worked or not, and says nothing of a failure.
template <typename Failure>
void bestEffort(const EngineResult<Failure> &) {}
