#pragma once

#include "rename/rename_control.h"
#include "rename/row_outcome.h"
#include "sheet/spreadsheet_reader.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class StandbyOffice;

// Where step 3 shows its results: the renamed-files list, the count box and
// the message boxes of the main window.
class BatchRenameView {
public:
    virtual ~BatchRenameView() = default;
    virtual void appendRenamedNames(const QStringList &names) = 0;
    virtual void setCountText(const QString &text) = 0;
    virtual void showMessage(const QString &text) = 0;
    // A question with the buttons 是 and 否; true for 是.
    virtual bool askYesNo(const QString &question) = 0;
};

// What step 3 shows once it has ended: made where the work ran, shown on the
// window's thread.
struct StepThreeEnd {
    QStringList listed;
    std::optional<QString> countText;
    QString message;

    void showIn(BatchRenameView &view) const;
};

// Step 3's table as read: the rows, or nothing and the message that says why
// nothing will be renamed.
struct StepThreeTable {
    std::optional<QList<NamingTableRow>> rows;
    QString message;
};

// Step 3 as the window runs it, after its Workbook-path gate, with the office
// that waits in `standby`: readStepThreeTable, then renameStepThreeRows.
void runStepThree(StandbyOffice &standby, const QString &workbookPath, BatchRenameView &view,
                  const AskUnsavedChanges &askUnsaved = {});

// Step 3's first half. First `askUnsaved` (when given) asks whether the
// user's window still shows the table with changes not saved: if so, nothing
// is read and the message says to save first; when it cannot tell, step 3
// goes on. When the standby has read the table ahead from exactly the file
// that now stands at `workbookPath`, those rows are taken without opening the
// workbook again; otherwise the standby's office, or one started now, reads
// the saved table (readNamingTable) and is quit. The standby's office keeps
// waiting until `standby` is told otherwise. With `control`, a stop asked
// for there ends the read with no rows and the message that nothing was
// renamed.
StepThreeTable readStepThreeTable(StandbyOffice &standby, const QString &workbookPath,
                                  const AskUnsavedChanges &askUnsaved = {}, const RenameControl *control = nullptr);

// Reads the naming table saved at `workbookPath` through an office that is
// already running, which is left running, and renames its rows
// (renameReadRows). The workbook is opened read-only and never written. When
// it cannot be opened or read, nothing is renamed and one message says why.
void readTableAndRename(SpreadsheetReader &office, const QString &workbookPath, BatchRenameView &view);

// Step 3's second half, for rows already read from the workbook at
// `workbookPath`: writes the run's record (see RecordedRun) into
// runRecordsFolder(), renames every row's entry (see planNamingTableRenames
// and carryOutRenamePlan; the workbook itself is kept) and returns column D
// of every row for the renamed-files list, the count of rows and the closing
// message. When the record cannot be written, nothing is listed or renamed
// and the message says why; so too while another step 3, undo or recovery
// of this user holds the lock (RunLock). With `control`, the renames report
// their progress there; a stop asked for before the first rename renames
// nothing, and one asked for later ends the run between two units (its
// record ends "stopped"): then only the rows carried out are listed and
// counted, and the message says how many of the planned renames were done
// and that undo takes them back.
StepThreeEnd renameStepThreeRows(const QList<NamingTableRow> &rows, const QString &workbookPath,
                                 RenameControl *control = nullptr);

// Step 3 for rows already read: first asks through `view` whether to rename
// rows the sheet hides too (rowsChosenToRename), then renameStepThreeRows
// with the rows chosen, shown through `view`.
void renameReadRows(const QList<NamingTableRow> &rows, const QString &workbookPath, BatchRenameView &view);

// Step 3's answer to a stop before anything was renamed.
QString stepThreeCancelledText();
