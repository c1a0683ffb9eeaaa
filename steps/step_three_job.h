#pragma once

#include "rename/listed_entries.h"
#include "rename/row_outcome.h"
#include "rename/table_check.h"
#include "sheet/spreadsheet_reader.h"
#include "steps/job.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class StandbyOffice;

// Step 3 after its Workbook-path gate: the naming table saved at
// `workbookPath` is read, the user is asked whether to rename rows the sheet
// hides too (hiddenRowsQuestion; 否 keeps only the rows it shows), and the
// rows' entries are renamed. The workbook is only ever read, never written.
//
// Before any rename the rows are checked (checkNamingTable). When rows would
// fail or warn, or the last run of the table already did some, the one
// question asked is partialRunQuestion: going on renames the rest as a run
// of the whole table would (rows the last run did are left out; rows the
// sheet hides as the user chooses), "返回修改" renames nothing, writes no
// record, says nothing and leaves an office standing by to read the next
// save. A table with only hidden rows to ask about asks hiddenRowsQuestion
// as before, and a clean one asks nothing. With `listed`, the entries step 1
// listed, a row whose entry was replaced since is refused and renames nothing.
//
// The renames write the run's record (see RecordedRun) into
// runRecordsFolder() and rename every row's entry (see
// planNamingTableRenames and carryOutRenamePlan); the end lists column D of
// every row, counts the rows and says how it went. When the table cannot be
// read, or the record cannot be written, or another step 3, undo or recovery
// of this user holds the lock (RunLock), nothing is renamed and one message
// says why.
//
// A stop while the table is read renames nothing and writes no record; one
// asked for while renaming ends the run between two units (its record ends
// "stopped"): then only the rows carried out are listed and counted, and
// the message says how many of the planned renames were done and that undo
// takes them back. A rename that does not return (a share that stopped
// answering) holds the stop until it does: meanwhile progress() says that
// the step waits for the share and that what was renamed can be undone.
class StepThreeJob : public Job {
public:
    // As the window runs it, with the office that waits in `standby`. First
    // `askUnsaved` (when given) asks whether the user's window still shows
    // the table with changes not saved: if so, nothing is read and the
    // message says to save first; when it cannot tell, step 3 goes on. When
    // the standby has read the table ahead from exactly the file that now
    // stands at `workbookPath`, those rows are taken without opening the
    // workbook again; otherwise the standby's office, or one started now,
    // reads the saved table (readNamingTable) and is quit. Before it uses
    // the standby, `awaitReadsLetGo` waits for reads an earlier step 3 let go
    // of. A stop while an office starts or reads lets go of that call
    // (letGoWhenStopped), which ends in the background. After the renames
    // no office waits in the standby.
    StepThreeJob(StandbyOffice &standby, QString workbookPath, AskUnsavedChanges askUnsaved = {},
                 std::function<void()> awaitReadsLetGo = {}, std::shared_ptr<const ListedEntries> listed = {});
    // Reads through an office that is already running, which is left running,
    // in one call: a stop is heeded once the table has been read.
    StepThreeJob(SpreadsheetReader &office, QString workbookPath);
    // For rows already read from the workbook at `workbookPath`.
    StepThreeJob(QList<NamingTableRow> rows, QString workbookPath, std::shared_ptr<const ListedEntries> listed = {});

    void run() override;
    std::optional<JobQuestion> question() override;
    void answer(int choice) override;
    StepEnd end() override;
    StepProgress progress() const override;
    bool letGoWhenStopped() const override;
    QString endedWithoutWaitingText() const override;

private:
    // Step 3's table as read: the rows, or nothing and the message that says
    // why nothing will be renamed.
    struct Table {
        std::optional<QList<NamingTableRow>> rows;
        QString message;
    };
    enum class Phase { Reading, Asking, Renaming, Ended };
    enum class Asked { HiddenRows, PartialRun };

    StepThreeJob(QString workbookPath, std::function<Table()> readTable, StandbyOffice *standby, bool mayBeLetGo,
                 std::shared_ptr<const ListedEntries> listed);
    static Table readThroughStandby(StandbyOffice &standby, const QString &workbookPath,
                                    const AskUnsavedChanges &askUnsaved, const WorkControl &work);
    static Table tableOf(const struct NamingTableRead &read, const QString &workbookPath);
    void rename();

    const QString workbookPath;
    const std::function<Table()> readTable;
    StandbyOffice *const standby;
    const bool readMayBeLetGo;
    const std::shared_ptr<const ListedEntries> listedEntries;
    std::atomic<Phase> phase{Phase::Reading};
    Table table;
    TableCheck check;
    Asked asked = Asked::HiddenRows;
    std::optional<JobQuestion> asking;
    bool wentBack = false;
    StepEnd ended;
};

// Step 3's answer to a stop before anything was renamed. Cannot fail.
QString stepThreeCancelledText();
