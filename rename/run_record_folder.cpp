#include "rename/run_record_folder.h"

#include "process/running_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>

namespace {

// The header and the end line are read from these ends of a record, so that
// listing records does not read every step of a large run.
constexpr qint64 headRead = 64 * 1024;
constexpr qint64 tailRead = 4 * 1024;

// A record's header is written as its file is made; a file without a whole
// one that has stood this long is not a record being begun.
constexpr int unreadableAfterSeconds = 60;
// In the folder of records, without the records' ".txt": the unreadable
// records already said to the user, one file name a line.
constexpr char unreadableNoteName[] = "unreadable-records-said";

// A run waits for its record before the first rename. Its lines go out
// through one small buffer, used again for every part: memory a process
// touches for the first time costs more here than the text itself.
class StepLineWriter {
public:
    StepLineWriter(DurableFile &target, const QByteArray &header) : file(target), text(header)
    {
        text.reserve(chunk + StepLineEncoder::fixedSpace);
    }

    void writeStep(qint64 rowNumber, const EntryId &entry, const QString &oldPath, const QString &newPath)
    {
        if (!written.ok())
            return;
        encoder.append(text, rowNumber, entry, oldPath, newPath);
        if (text.size() >= chunk)
            writeBuffer();
    }

    // Writes the last line and what is left in the buffer; the first
    // failure of any write.
    FileResult finishWith(const QByteArray &lastLine)
    {
        text += lastLine;
        writeBuffer();
        return written;
    }

private:
    void writeBuffer()
    {
        if (written.ok())
            written = file.write(text);
        text.resize(0);
    }

    static constexpr qsizetype chunk = 64 * 1024;
    DurableFile &file;
    QByteArray text;
    StepLineEncoder encoder;
    FileResult written = FileResult::success();
};

std::optional<RunRecord> readRecord(const QString &path, bool withSteps)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    RunRecord record;
    record.path = path;
    if (!parseRunHeader(file.read(headRead), record))
        return std::nullopt;
    if (withSteps) {
        file.seek(0);
        record.steps = parseRunSteps(file.readAll(), &record.damagedLine, &record.claims, &record.renamedRows);
    }
    file.seek(std::max<qint64>(0, file.size() - tailRead));
    parseRunEnd(file.readAll(), record);
    return record;
}

} // namespace

QString runRecordsFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/quillmere/runs");
}

FileResult RunRecordWriter::write(const QString &folder, RunKind kind, const QString &restores,
                                  const QString &workbook, const RenamePlan &plan)
{
    if (const FileResult made = makeFolders(folder); !made.ok())
        return made;
    // Runs begun in the same millisecond by one process sort by the number
    // after the process id.
    static std::atomic<int> sequence = 0;
    const QDateTime started = QDateTime::currentDateTime();
    const qint64 processId = QCoreApplication::applicationPid();
    const QString stem = folder + u'/' + started.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + u'-' +
                         QString::number(processId) + u'-';
    while (!file.isOpen()) {
        filePath = stem + QString::number(sequence++).rightJustified(6, u'0') + QStringLiteral(".txt");
        const FileResult created = file.create(filePath);
        if (!created.ok() && created.error().kind != FileFailureKind::AlreadyExists)
            return created;
    }
    folderPath = folder;

    StepLineWriter lines(file, runRecordHeader(kind, restores, workbook, started, processId,
                                               processStartOf(processId).value_or(0)));
    forEachPlannedStep(plan, [&lines](qint64 rowNumber, const EntryId &entry, const QString &oldPath,
                                      const QString &newPath) { lines.writeStep(rowNumber, entry, oldPath, newPath); });
    if (const FileResult written = lines.finishWith(plannedLine(plannedStepCount(plan))); !written.ok())
        return discard(written.error());
    return FileResult::success();
}

FileResult RunRecordWriter::makeDurable()
{
    FileResult synced = file.sync();
    if (synced.ok())
        synced = syncFolder(folderPath);
    if (!synced.ok())
        return discard(synced.error());
    return FileResult::success();
}

FileFailure RunRecordWriter::discard(const FileFailure &failure)
{
    file.close();
    removeFile(filePath);
    return failure;
}

void RunRecordWriter::appendClaim(const QString &path)
{
    if (file.isOpen())
        bestEffort(file.write(claimLine(path)));
}

void RunRecordWriter::appendClaimed(const QString &path, const EntryId &claim)
{
    if (file.isOpen())
        bestEffort(file.write(claimedLine(path, claim)));
}

void RunRecordWriter::appendEnd(const QList<RowOutcome> &outcomes, qsizetype renamedEntries, bool stopped)
{
    if (file.isOpen())
        bestEffort(file.write(runEndLines(outcomes, renamedEntries, QDateTime::currentDateTime(), stopped)));
}

void RunRecordWriter::settle()
{
    if (!file.isOpen())
        return;
    bestEffort(file.sync());
    file.close();
}

QList<RunRecord> readRunRecords(const QString &folder)
{
    QList<RunRecord> records;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files | QDir::Hidden)) {
        if (std::optional<RunRecord> record = readRecord(dir.filePath(name), false))
            records.append(std::move(*record));
    }
    std::sort(records.begin(), records.end(), [](const RunRecord &a, const RunRecord &b) {
        return a.started != b.started ? a.started > b.started : a.fileName() > b.fileName();
    });
    return records;
}

bool readRunSteps(RunRecord &record)
{
    std::optional<RunRecord> full = readRecord(record.path, true);
    if (!full)
        return false;
    record.damagedLine = full->damagedLine;
    if (record.damagedLine > 0) {
        record.steps.clear();
        return false;
    }
    record.steps = std::move(full->steps);
    record.claims = std::move(full->claims);
    record.renamedRows = std::move(full->renamedRows);
    return true;
}

QList<RunRecord> cutOffRuns(const QList<RunRecord> &records)
{
    QList<RunRecord> cutOff;
    for (const RunRecord &record : records) {
        if ((record.end == RunEnd::Running && !record.processRunning()) || record.recoveryStopped)
            cutOff.prepend(record);
    }
    return cutOff;
}

FileResult markRunCutOff(const RunRecord &record, qsizetype renamedEntries)
{
    return appendLineDurably(record.path, cutOffLine(QDateTime::currentDateTime(), renamedEntries));
}

FileResult markRunRecoveryStopped(const RunRecord &record, qsizetype renamedEntries)
{
    return appendLineDurably(record.path, recoveryStoppedLine(QDateTime::currentDateTime(), renamedEntries));
}

void pruneRunRecords(const QString &folder, qsizetype kept)
{
    const QList<RunRecord> records = readRunRecords(folder);
    for (qsizetype i = kept; i < records.size(); ++i) {
        // Without an end, a run either still runs or waits to be offered at
        // the next start, which needs its record.
        if (records[i].end != RunEnd::Running && !records[i].recoveryStopped)
            QFile::remove(records[i].path);
    }
}

QStringList takeUnreadableRunRecords(const QString &folder)
{
    const QDir dir(folder);
    const QDateTime settled = QDateTime::currentDateTime().addSecs(-unreadableAfterSeconds);
    QStringList unreadable;
    for (const QFileInfo &file : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files | QDir::Hidden, QDir::Name)) {
        if (file.lastModified() <= settled && !readRecord(file.filePath(), false))
            unreadable << file.fileName();
    }
    const QString notePath = dir.filePath(QString::fromLatin1(unreadableNoteName));
    QStringList said;
    if (QFile note(notePath); note.open(QIODevice::ReadOnly))
        said = QString::fromUtf8(note.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QStringList toSay;
    for (const QString &name : unreadable)
        if (!said.contains(name))
            toSay << dir.filePath(name);
    // Only names that still stand are kept, so the note stays as small as
    // the folder's unreadable files.
    if (!toSay.isEmpty() || said.size() != unreadable.size()) {
        QSaveFile note(notePath);
        if (note.open(QIODevice::WriteOnly)) {
            note.write(unreadable.join(u'\n').toUtf8());
            note.commit();
        }
    }
    return toSay;
}
