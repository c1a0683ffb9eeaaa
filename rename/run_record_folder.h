#pragma once

#include "rename/record_storage.h"
#include "rename/run_record_format.h"

#include <QList>
#include <QString>

// The folder of run records (see run_record_format.h for what a record holds):
// making records in it durably, listing them, and clearing out old ones.

// $XDG_STATE_HOME/quillmere/runs, or ~/.local/state/quillmere/runs when
// XDG_STATE_HOME is unset or not absolute.
QString runRecordsFolder();

// The record of a run being carried out, open for its end.
class RunRecordWriter {
public:
    RunRecordWriter() = default;
    RunRecordWriter(const RunRecordWriter &) = delete;
    RunRecordWriter &operator=(const RunRecordWriter &) = delete;

    // Creates a new record in `folder` (made when missing), readable by the
    // user alone, holding the header and every system rename of `plan`. On
    // failure returns why; a file begun is removed, and no rename may follow.
    FileResult write(const QString &folder, RunKind kind, const QString &restores, const QString &workbook,
                     const RenamePlan &plan);
    // Makes what write() wrote durable, file and folder; it may run on
    // another thread while other work is done. Fails as write() does,
    // removing the file; no rename may follow until it has succeeded.
    FileResult makeDurable();

    // Appends the "claim" line of a claim about to be made at `path`; not
    // made durable. Best effort: should it fail, a recovery leaves the claim.
    void appendClaim(const QString &path);

    // Appends the "claimed" line of the claim `claim` just made at `path`;
    // not made durable. Best effort: should it fail, a recovery judges the
    // claim by its time alone.
    void appendClaimed(const QString &path, const EntryId &claim);

    // Appends each row's outcome and the end line, "stopped" when `stopped`.
    // Best effort: should it fail, the record reads as a run cut off.
    void appendEnd(const QList<RowOutcome> &outcomes, qsizetype renamedEntries, bool stopped = false);

    // Makes what appendEnd() wrote durable and closes the record. Best effort.
    void settle();

    QString path() const { return filePath; }

private:
    FileFailure discard(const FileFailure &failure);

    QString filePath;
    QString folderPath;
    DurableFile file;
};

// Every record in `folder`, newest first, without their steps; files that do
// not read as records are passed over.
QList<RunRecord> readRunRecords(const QString &folder);

// Reads the steps of `record` from its file; false, with no steps, when it
// cannot be read or is damaged (then `damagedLine` says where).
bool readRunSteps(RunRecord &record);

// The runs to offer back at start, oldest first: those without an end whose
// process no longer runs, and those whose recovery was stopped
// (markRunRecoveryStopped).
QList<RunRecord> cutOffRuns(const QList<RunRecord> &records);

// Appends the cut-off line to the record of a run found cut off, with the
// entries it left under another name. On failure returns why; part of the
// line may stand.
FileResult markRunCutOff(const RunRecord &record, qsizetype renamedEntries);

// As markRunCutOff, for a run whose recovery at start was stopped before it
// ended: the run counts as cut off, and cutOffRuns offers it again until
// markRunCutOff settles it.
FileResult markRunRecoveryStopped(const RunRecord &record, qsizetype renamedEntries);

// Removes the oldest records beyond the newest `kept`, never one whose run
// still runs, nor one cutOffRuns would offer: a run cut off is kept until it
// has been offered. Best effort.
void pruneRunRecords(const QString &folder, qsizetype kept = 20);

// The files of `folder` named as records that do not read as one (written
// by a newer version of the program, damaged, or cut before their header
// was whole) and have stood unchanged for a minute, so that a record another
// program is just beginning is not taken for one: full paths, sorted. Each
// is returned by one call only: the names returned are noted in the folder,
// best effort (a note that cannot be written means they come again).
QStringList takeUnreadableRunRecords(const QString &folder);
