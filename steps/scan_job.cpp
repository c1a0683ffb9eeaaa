#include "steps/scan_job.h"

#include "steps/scan_step.h"

#include <QLocale>

ScanJob::ScanJob(QString searched, QString wildcard)
    : folder(std::move(searched))
    , pattern(std::move(wildcard))
{
}

void ScanJob::run()
{
    result = scanFolder(folder, pattern, &work, &foldersSeen);
    // Dropped here rather than on the window's thread, where freeing a large
    // part of a million entries would hold it up.
    if (result.cancelled)
        result.entries = {};
}

StepEnd ScanJob::end()
{
    if (result.cancelled)
        return {.scanReport = scanCancelledText()};
    return {.found = std::move(result.entries), .scanReport = scanReportText(result.summary, QLocale::system())};
}

StepProgress ScanJob::progress() const
{
    return {scanProgressText(foldersSeen.load(std::memory_order_relaxed), work.done())};
}
