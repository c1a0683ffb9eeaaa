#pragma once

#include "rename/batch_rename.h"
#include "rename/record_storage.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A run record: one plain-text file per run that renames anything, written
// and made durable before the first rename, so that the run can be taken back
// later and a run cut off can be put right at the next start. The format is
// described in docs/run-records.md.

// The folder of the records: $XDG_STATE_HOME/quillmere/runs, or
// ~/.local/state/quillmere/runs when XDG_STATE_HOME is unset or not absolute.
QString runRecordsFolder();

// Step 3's own runs, and the runs that give a run's entries their old names
// back (an undo, or the recovery of a run cut off).
enum class RunKind { Step3, Restore };

// Running: no end written, which also means cut off once its process is gone.
// CutOff: found cut off at a later start and left as it stood.
enum class RunEnd { Running, Ended, CutOff };

struct RunRecord {
    QString path;
    RunKind kind = RunKind::Step3;
    // For a Restore run, the file name of the record whose entries it puts back.
    QString restores;
    QString workbook;
    QDateTime started;
    qint64 processId = 0;
    // The process's start time in clock ticks since boot, which tells it from
    // a later process given the same id.
    quint64 processStart = 0;
    QList<PlannedStep> steps;
    RunEnd end = RunEnd::Running;
    // The entries the run left under another name, as its end line says.
    qsizetype renamedEntries = 0;

    QString fileName() const;
    // Whether the process that wrote the record still runs.
    bool processRunning() const;
};

enum class RecordError { NoSpace, NoPermission, ReadOnlyFileSystem, Other };

struct RecordFailure {
    RecordError error = RecordError::Other;
    // The file or folder that could not be written.
    QString path;
    // The system's own wording.
    QString systemText;
};

// The record of a run being carried out, open for its end line.
class RunRecordWriter {
public:
    RunRecordWriter() = default;
    RunRecordWriter(const RunRecordWriter &) = delete;
    RunRecordWriter &operator=(const RunRecordWriter &) = delete;

    // Creates a new record in `folder` (made when missing) holding the
    // header and every system rename of `plan`, and makes file and folder
    // durable. On failure returns why; a file begun is removed, and no rename
    // may follow.
    std::optional<RecordFailure> begin(const QString &folder, RunKind kind, const QString &restores,
                                       const QString &workbook, const RenamePlan &plan);

    // begin() in two halves, so that other work can be done while the disk
    // takes the record: write() creates and writes it, makeDurable() syncs
    // file and folder. Each fails as begin() does, removing the file; no
    // rename may follow until makeDurable() has succeeded.
    std::optional<RecordFailure> write(const QString &folder, RunKind kind, const QString &restores,
                                       const QString &workbook, const RenamePlan &plan);
    std::optional<RecordFailure> makeDurable();

    // Appends each row's outcome and the end line. Best effort: should it
    // fail, the record reads as a run cut off.
    void end(const QList<RowOutcome> &outcomes, qsizetype renamedEntries);

    // Makes what end() wrote durable and closes the record. Best effort.
    void settle();

    QString path() const { return filePath; }

private:
    RecordFailure discard(const FileFailure &failure);

    QString filePath;
    QString folderPath;
    DurableFile file;
};

// Every record in `folder`, newest first, without their steps; files that do
// not read as records are passed over.
QList<RunRecord> readRunRecords(const QString &folder);

// Reads the steps of `record` from its file; false when it cannot be read.
bool readRunSteps(RunRecord &record);

// Writes the end line of a run found cut off, with the entries it left under
// another name. Returns the failure, if any.
std::optional<RecordFailure> markRunCutOff(const RunRecord &record, qsizetype renamedEntries);

// Removes the oldest records beyond the newest `kept`, never one whose run
// still runs. Best effort.
void pruneRunRecords(const QString &folder, qsizetype kept = 20);
