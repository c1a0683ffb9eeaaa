#pragma once

#include "search/directory_scan.h"

#include <QLocale>
#include <QString>

#include <cstdint>

// Step 1's report: four lines separated by CR LF, the file figure, the
// folder count and the total size, grouped in threes with `locale`'s group
// separator. Cannot fail.
QString scanReportText(const ScanSummary &summary, const QLocale &locale);

// What step 1 shows while it searches: the folders looked at and the
// entries found so far. Cannot fail.
QString scanProgressText(std::int64_t foldersSeen, std::int64_t entriesFound);

// What step 1 reports when the user stopped it. Cannot fail.
QString scanCancelledText();

// `value` in decimal, every three integer digits separated by `separator`.
QString groupedDigits(std::uint64_t value, const QString &separator);
