#pragma once

#include "search/directory_scan.h"
#include "steps/job.h"

#include <QString>

#include <atomic>
#include <cstdint>

// Step 1: searches `folder` and everything below it for `pattern`
// (scanFolder). Its end gives the entries found and the report text, or,
// once stopped, only the report that it was cancelled (what it found so far
// is dropped). Cannot fail: unreadable folders contribute nothing.
class ScanJob : public Job {
public:
    ScanJob(QString folder, QString pattern);

    void run() override;
    StepEnd end() override;
    StepProgress progress() const override;

private:
    const QString folder;
    const QString pattern;
    std::atomic<std::int64_t> foldersSeen = 0;
    ScanResult result;
};
