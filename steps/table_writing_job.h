#pragma once

#include "rename/listed_entries.h"
#include "search/found_entries.h"
#include "sheet/spreadsheet_writer.h"
#include "steps/job.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Step 2: the naming table of `entries` written into the workbook at
// `workbookPath` in a window of the office `startVisible` starts
// (exportNamingTable, which says what fails and what a stop leaves). Its end
// gives each message to show; once the table stands in the window,
// `whenWritten` is called there, on the thread that ends the job, with the
// entries listed (what tells an entry replaced since from the one listed).
// The entries of `found` as step 3 compares a row's entry with the one listed
// (ListedEntries). Cannot fail.
std::shared_ptr<const ListedEntries> listedEntriesOf(const FoundEntries &found);

class TableWritingJob : public Job {
public:
    TableWritingJob(StartSpreadsheetWriter startVisible, QString workbookPath, FoundEntries entries,
                    std::function<void(std::shared_ptr<const ListedEntries>)> whenWritten = {});

    void run() override;
    StepEnd end() override;
    StepProgress progress() const override;

private:
    const StartSpreadsheetWriter startVisible;
    const QString workbookPath;
    const FoundEntries entries;
    const std::function<void(std::shared_ptr<const ListedEntries>)> whenWritten;
    QStringList messages;
    std::shared_ptr<const ListedEntries> listed;
    bool written = false;
};
