#pragma once

#include <QString>

#include <utility>
#include <variant>

// What a spreadsheet operation gives back: its value, or the reason it failed
// in words the user can read. Nothing in the sheet layer throws. A result
// must be looked at; one ignored on purpose says so with bestEffort().
template <typename T>
class [[nodiscard]] SheetResult {
public:
    static SheetResult success(T value) { return SheetResult(std::move(value), {}); }
    // A failure always carries a text, so it can never be mistaken for success.
    static SheetResult failure(QString why)
    {
        return SheetResult(T{}, why.isEmpty() ? QStringLiteral("未知的错误") : std::move(why));
    }

    bool ok() const { return failureText.isEmpty(); }
    const T &value() const { return result; }
    T &value() { return result; }
    const QString &error() const { return failureText; }

private:
    SheetResult(T value, QString why) : result(std::move(value)), failureText(std::move(why)) {}

    T result;
    QString failureText;
};

using SheetStatus = SheetResult<std::monostate>;

inline SheetStatus sheetDone() { return SheetStatus::success({}); }

// Marks a call made on a best-effort basis: the caller goes on whether it
// worked or not, and says nothing of a failure.
template <typename T>
void bestEffort(const SheetResult<T> &) {}
