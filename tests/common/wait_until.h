#pragma once

#include <chrono>
#include <functional>

// Checks `condition` every few milliseconds, handling this thread's Qt events
// in between, until it holds or `limit` has passed; returns whether it held.
// The limit is generous: only a broken program should ever reach it.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds limit = std::chrono::minutes(1));
