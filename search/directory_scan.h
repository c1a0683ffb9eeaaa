#pragma once

#include "find_files.h"

#include <QLocale>
#include <QString>

#include <cstdint>

// What step 1 reports after a scan.
struct ScanSummary {
    std::int64_t fileFigure = 0; // listed entries that are not folders
    std::int64_t DirCount = 0;
    std::uint64_t totalSize = 0;
};

// Searches `folder` and everything below it for `pattern`, handing every
// match to `sink` (see FindFilesAPI). Does not fail: unreadable folders
// simply contribute nothing.
ScanSummary scanFolder(const QString &folder, const QString &pattern, FoundEntrySink &sink);

// The four-line step-1 report, lines separated by CR LF; the size is grouped
// in threes with `locale`'s group separator.
QString scanReportText(const ScanSummary &summary, const QLocale &locale);

// `value` in decimal, every three integer digits separated by `separator`.
QString groupedDigits(std::uint64_t value, const QString &separator);
