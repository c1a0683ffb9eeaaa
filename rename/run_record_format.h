#pragma once

#include "rename/rename_plan.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMultiHash>
#include <QSet>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

// A run record: one plain-text file per run that renames anything, so that
// the run can be taken back later and a run cut off can be put right at the
// next start. This file turns a record into bytes and back; the folder of
// records is run_record_folder.h's.
//
// What every record holds to, and what its readers count on:
//  1. It is written, and made durable with its folder's list of names, before
//     the run's first rename; a run whose record cannot be so written renames
//     nothing.
//  2. It is only ever appended to: header, steps, then the end; a power cut
//     may cut it anywhere, and a reader takes what stands.
//  3. The header comes first: the line "quillmere run record 1", then
//     "kind" (step3, or restore with the file name of the record restored),
//     "workbook", "started" (ISO 8601 with milliseconds and offset) and
//     "process" (id and start time in clock ticks since boot). A file whose
//     header lacks its first line, a valid start or a process id is no record.
//  4. One "rename" line per system rename, in the order the run carries them
//     out, a cycle's steps to and from its temporary name included: row
//     number, device:inode of the entry (0:0 when it could not be looked
//     up), old path, new path. The run carries out the very steps these lines
//     are written from. A "planned" line with their number follows them.
//  5. After the last rename, a "row" line per row (number and status word)
//     and the end line (time, entries renamed): "ended" for a run that went
//     through its plan, "stopped" for one the user stopped between two of
//     its units, whose rows not carried out say "not-run". A record without
//     an end is a run still running, or, once its process is gone, a run cut
//     off.
//  6. A run found cut off gets the "cut-off" line (time, entries it left
//     renamed) at a later start, on a line of its own even if the cut left
//     half a line. When the recovery offered at that start was stopped
//     before it ended, the run gets the "recovery-stopped" line (the same
//     fields) instead: it counts as cut off, and is offered again at every
//     start until a "cut-off" line follows it.
//  7. Fields are separated by tabs and lines by line breaks. In a text field,
//     backslash, tab and line break are written "\\", "\t", "\n", any other
//     control byte "\xHH"; all other bytes are the text's UTF-8 as it is.
//  8. A line a reader cannot make sense of is passed over; reading never
//     fails on a record's body, only on its header. The header, every step
//     and the end count only when their lines are whole, ended by a line
//     break: a cut may leave "rename" with a shortened path or inode.
//  9. Between the "planned" line and the end, a "claim" line (a path) is
//     written right before the run makes a claim: the empty entry that
//     reserves a new path where the file system has no no-replace rename
//     (rename_no_replace.h). Once the claim stands, before anything is
//     renamed onto it, a "claimed" line follows: device:inode of the entry
//     made, and the path. Neither is made durable by itself, and records
//     written before "claimed" lines were have "claim" lines alone. A
//     recovery takes away only a claim a whole "claim" line names at a
//     step's new path, and only while it is empty and is the entry a whole
//     "claimed" line names for that path; in a record without "claimed"
//     lines, while it was made after the run began.

// Step 3's own runs, and the runs that give a run's entries their old names
// back (an undo, or the recovery of a run cut off).
enum class RunKind { Step3, Restore };

// What a record says of the claims its run made (9).
struct RunClaims {
    // The paths of its whole "claim" lines, in order.
    QStringList paths;
    // The entries its whole "claimed" lines say were made, by path.
    QMultiHash<QString, EntryId> made;
};

// Running: no end written, which also means cut off once its process is gone.
// CutOff: found cut off at a later start and left as it stood.
// Stopped: the user stopped it; its end is known as an ended run's is.
enum class RunEnd { Running, Ended, CutOff, Stopped };

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
    // Once the steps are read: its claims (9).
    RunClaims claims;
    // Once the steps are read: the rows whose "row" line says "renamed" (5).
    QSet<qint64> renamedRows;
    // The entries the run left under another name, as its end line says.
    qsizetype renamedEntries = 0;
    // The last end line is "recovery-stopped" (6): end is CutOff, and the run
    // is to be offered again at the next start.
    bool recoveryStopped = false;
    // The time on the "ended" or "stopped" line; not valid for a run without one.
    QDateTime ended;
    // Once the steps are read: the first line that shows the record damaged
    // (see parseRunSteps), or 0.
    qsizetype damagedLine = 0;

    QString fileName() const;
    // Whether the process that wrote the record still runs.
    bool processRunning() const;
};

// The header lines of a record (3) written by process `processId`.
QByteArray runRecordHeader(RunKind kind, const QString &restores, const QString &workbook, const QDateTime &started,
                           qint64 processId, quint64 processStart);

// Appends "rename" lines (4) to a text. A run waits for its record before its
// first rename, and a record holds two paths a rename: each path is encoded
// straight onto its line, and only a path that holds a character to escape
// takes the slower way.
class StepLineEncoder {
public:
    // The room a line takes beside its paths: "rename", three numbers of at
    // most 20 digits, and five separators.
    static constexpr qsizetype fixedSpace = 6 + 3 * 20 + 5;

    void append(QByteArray &text, qint64 rowNumber, const EntryId &entry, const QString &oldPath,
                const QString &newPath);

private:
    QStringEncoder encoder{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

// The "claim" line (9) of a claim about to be made at `path`.
QByteArray claimLine(const QString &path);

// The "claimed" line (9) of the claim `claim` just made at `path`.
QByteArray claimedLine(const QString &path, const EntryId &claim);

// The "planned" line that follows `count` steps.
QByteArray plannedLine(qsizetype count);

// The end (5): a line per outcome and the end line, "stopped" when `stopped`.
QByteArray runEndLines(const QList<RowOutcome> &outcomes, qsizetype renamedEntries, const QDateTime &ended,
                       bool stopped = false);

// The "cut-off" line (6).
QByteArray cutOffLine(const QDateTime &found, qsizetype renamedEntries);

// The "recovery-stopped" line (6).
QByteArray recoveryStoppedLine(const QDateTime &stopped, qsizetype renamedEntries);

// Reads the header from `head`, the beginning of a record, into `record`;
// false when it is not a record's.
bool parseRunHeader(const QByteArray &head, RunRecord &record);

// Reads the steps from the whole of a record. A run renames every entry
// within its folder, so a whole line whose step moves an entry into another
// folder was damaged or edited, and no step of the record can be trusted:
// when `damagedLine` is given, it is set to the number (from 1) of the first
// such line, or to 0 when there is none. A last line without its line break
// is one a cut shortened: neither a step nor damage. When `claims` is given,
// it gets what the whole "claim" and "claimed" lines say; when `renamedRows`
// is given, it gets the rows whose whole "row" line says "renamed".
QList<PlannedStep> parseRunSteps(const QByteArray &whole, qsizetype *damagedLine = nullptr,
                                 RunClaims *claims = nullptr, QSet<qint64> *renamedRows = nullptr);

// Reads the end line, if any, from `tail`, the last part of a record, into
// `record`.
void parseRunEnd(const QByteArray &tail, RunRecord &record);
