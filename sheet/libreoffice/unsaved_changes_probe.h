#pragma once

#include <QString>

#include <chrono>
#include <optional>

// Whether the office the user works in (with windows, in the user's own
// profile) shows the workbook at `workbookPath` with changes not saved yet.
// Asked over a connection of its own, opened for the question and closed
// again; the office is neither started nor changed by it. Nothing when no
// such office runs, it does not show the workbook, or it does not answer
// within `limit`.
std::optional<bool> usersOfficeShowsUnsavedChanges(const QString &workbookPath,
                                                   std::chrono::seconds limit = std::chrono::seconds(5));
