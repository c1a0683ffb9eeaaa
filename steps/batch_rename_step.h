#pragma once

#include "rename/row_outcome.h"
#include "sheet/spreadsheet_reader.h"

#include <QString>
#include <QStringList>

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

// Step 3 as the window runs it, after its Workbook-path gate, with the office
// that waits in `standby`. First `askUnsaved` (when given) asks whether the
// user's window still shows the table with changes not saved: if so, nothing
// is read or renamed and one message says to save first; when it cannot
// tell, step 3 goes on. When the standby has read the table ahead from
// exactly the file that now stands at `workbookPath`, those rows are renamed
// (renameReadRows) without opening the workbook again; otherwise the
// standby's office, or one started now, reads the saved table
// (readTableAndRename). Either way no office waits afterwards.
void runStepThree(StandbyOffice &standby, const QString &workbookPath, BatchRenameView &view,
                  const AskUnsavedChanges &askUnsaved = {});

// Reads the naming table saved at `workbookPath` through an office that is
// already running, which is left running, and renames its rows
// (renameReadRows). The workbook is opened read-only and never written. When
// it cannot be opened or read, nothing is renamed and one message says why.
void readTableAndRename(SpreadsheetReader &office, const QString &workbookPath, BatchRenameView &view);

// Step 3 for rows already read from the workbook at `workbookPath`: first
// asks whether to rename rows the sheet hides too (rowsChosenToRename); then,
// with the rows chosen, writes the run's record (see RecordedRun) into
// runRecordsFolder(), lists column D of every row and the count of rows,
// renames every row's entry (see planNamingTableRenames and
// carryOutRenamePlan; the workbook itself is kept) and shows the closing
// message. When the record cannot be written, nothing
// is listed or renamed and one message says why; so too while another step 3,
// undo or recovery of this user holds the lock (RunLock).
void renameReadRows(const QList<NamingTableRow> &rows, const QString &workbookPath, BatchRenameView &view);
