#pragma once

#include <QtGlobal>

#include <optional>

// When the process `processId` started, in the system's own ticks since boot,
// or nothing when no such process runs (or it cannot be seen): a process id
// is reused, its start time with it is not.
std::optional<quint64> processStartOf(qint64 processId);

// Whether the process `processId` runs. With `startedAt`, whether it is still
// the process that started then, so a reused id counts as gone; a number that
// names no process counts as gone too. Without it, any process of that id
// counts, another user's included, and a number that cannot be a process id
// counts as running, so that whatever is kept for it stays.
bool processRuns(qint64 processId, std::optional<quint64> startedAt = std::nullopt);
