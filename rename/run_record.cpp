#include "rename/run_record.h"

#include "rename/record_storage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <algorithm>
#include <atomic>
#include <charconv>

namespace {

constexpr char firstLine[] = "quillmere run record 1";
// The header and the end line are read from these ends of a record, so that
// listing records does not read every step of a large run.
constexpr qint64 headRead = 64 * 1024;
constexpr qint64 tailRead = 4 * 1024;

// Fields are tab-separated and records line by line, so a name's own tabs,
// line breaks and backslashes are written as escapes; other bytes stay as
// they are, which keeps the file readable.
bool needsEscape(char c)
{
    return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

// Appends `text` to `line` as the record writes it: UTF-8, its escapes
// written out.
void appendEscaped(QByteArray &line, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\t')
            line += "\\t";
        else if (c == '\n')
            line += "\\n";
        else if (needsEscape(c))
            line += "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
        else
            line += c;
    }
}

bool anyNeedsEscape(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x80 && needsEscape(char(c.unicode())); });
}

std::optional<QString> unescaped(const QByteArray &field)
{
    QByteArray utf8;
    utf8.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            utf8 += field[i];
            continue;
        }
        if (++i >= field.size())
            return std::nullopt;
        switch (field[i]) {
        case '\\': utf8 += '\\'; break;
        case 't': utf8 += '\t'; break;
        case 'n': utf8 += '\n'; break;
        case 'x': {
            bool ok = false;
            const int byte = field.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok || i + 2 >= field.size())
                return std::nullopt;
            utf8 += char(byte);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return QString::fromUtf8(utf8);
}

QByteArray timeText(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toUtf8();
}

const char *statusWord(RowStatus status)
{
    switch (status) {
    case RowStatus::Renamed: return "renamed";
    case RowStatus::KeptEmptyNewName: return "kept-empty-new-name";
    case RowStatus::UnchangedSameName: return "unchanged-same-name";
    case RowStatus::FailedUnreadableCell: return "failed-unreadable-cell";
    case RowStatus::FailedRename: return "failed";
    case RowStatus::FailedTableWorkbook: return "failed-table-workbook";
    case RowStatus::FailedByOtherRow: return "failed-by-other-row";
    }
    return "failed";
}

RecordFailure recordFailureOf(const FileFailure &failure)
{
    RecordError error = RecordError::Other;
    switch (failure.kind) {
    case FileFailureKind::NoSpace: error = RecordError::NoSpace; break;
    case FileFailureKind::NoPermission: error = RecordError::NoPermission; break;
    case FileFailureKind::ReadOnlyFileSystem: error = RecordError::ReadOnlyFileSystem; break;
    case FileFailureKind::AlreadyExists:
    case FileFailureKind::Other: break;
    }
    return {error, failure.path, failure.systemText};
}

std::optional<RecordFailure> recordFailureOf(const std::optional<FileFailure> &failure)
{
    return failure ? std::optional(recordFailureOf(*failure)) : std::nullopt;
}

QByteArray headerOf(RunKind kind, const QString &restores, const QString &workbook, const QDateTime &started)
{
    QByteArray header = QByteArray(firstLine) + "\nkind\t";
    if (kind == RunKind::Step3) {
        header += "step3";
    } else {
        header += "restore\t";
        appendEscaped(header, restores);
    }
    header += "\nworkbook\t";
    appendEscaped(header, workbook);
    header += "\nstarted\t" + timeText(started);
    header += "\nprocess\t" + QByteArray::number(QCoreApplication::applicationPid()) + '\t' +
              QByteArray::number(processStartOf(QCoreApplication::applicationPid()).value_or(0)) + '\n';
    return header;
}

// A run waits for its record before the first rename, and a record holds
// two paths a rename. Its lines go out through one small buffer, used again
// for every part: memory a process touches for the first time costs more
// here than the text itself. Each path is encoded straight onto its line;
// only a path that holds a character to escape takes the slower way.
class StepLineWriter {
public:
    StepLineWriter(DurableFile &target, const QByteArray &header) : file(target), text(header)
    {
        text.reserve(chunk + fixedSpace);
    }

    void writeStep(qint64 rowNumber, const EntryId &entry, const QString &oldPath, const QString &newPath)
    {
        if (failure)
            return;
        const qsizetype start = text.size();
        text.resize(start + fixedSpace + encoder.requiredSpace(oldPath.size() + newPath.size()));
        char *out = text.data() + start;
        char *const end = text.data() + text.size();
        out = std::copy_n("rename\t", 7, out);
        out = std::to_chars(out, end, rowNumber).ptr;
        *out++ = '\t';
        out = std::to_chars(out, end, entry.device).ptr;
        *out++ = ':';
        out = std::to_chars(out, end, entry.inode).ptr;
        *out++ = '\t';
        if (anyNeedsEscape(oldPath) || anyNeedsEscape(newPath)) {
            text.truncate(out - text.constData());
            appendEscaped(text, oldPath);
            text += '\t';
            appendEscaped(text, newPath);
            text += '\n';
        } else {
            out = encoder.appendToBuffer(out, oldPath);
            *out++ = '\t';
            out = encoder.appendToBuffer(out, newPath);
            *out++ = '\n';
            text.truncate(out - text.constData());
        }
        if (text.size() >= chunk)
            writeBuffer();
    }

    // Writes the last line and what is left in the buffer; the first
    // failure of any write.
    std::optional<FileFailure> finishWith(const QByteArray &lastLine)
    {
        text += lastLine;
        writeBuffer();
        return failure;
    }

private:
    void writeBuffer()
    {
        if (!failure)
            failure = file.write(text);
        text.resize(0);
    }

    static constexpr qsizetype chunk = 64 * 1024;
    // "rename", three numbers of at most 20 digits, and five separators.
    static constexpr qsizetype fixedSpace = 6 + 3 * 20 + 5;
    DurableFile &file;
    QByteArray text;
    QStringEncoder encoder{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    std::optional<FileFailure> failure;
};

std::optional<PlannedStep> parseStep(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 5)
        return std::nullopt;
    const QList<QByteArray> id = fields[2].split(':');
    const std::optional<QString> oldPath = unescaped(fields[3]);
    const std::optional<QString> newPath = unescaped(fields[4]);
    if (id.size() != 2 || !oldPath || !newPath)
        return std::nullopt;
    return PlannedStep{fields[1].toLongLong(), {id[0].toULongLong(), id[1].toULongLong()}, *oldPath, *newPath};
}

// Reads the header from `head`; false when it is not a record's.
bool parseHeader(const QByteArray &head, RunRecord &record)
{
    const QList<QByteArray> lines = head.split('\n');
    if (lines.value(0) != firstLine)
        return false;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split('\t');
        const QByteArray &key = fields[0];
        if (key == "rename")
            break;
        if (key == "kind" && fields.size() >= 2) {
            record.kind = fields[1] == "restore" ? RunKind::Restore : RunKind::Step3;
            record.restores = unescaped(fields.value(2)).value_or(QString());
        } else if (key == "workbook" && fields.size() == 2) {
            record.workbook = unescaped(fields[1]).value_or(QString());
        } else if (key == "started" && fields.size() == 2) {
            record.started = QDateTime::fromString(QString::fromUtf8(fields[1]), Qt::ISODateWithMs);
        } else if (key == "process" && fields.size() == 3) {
            record.processId = fields[1].toLongLong();
            record.processStart = fields[2].toULongLong();
        }
    }
    return record.started.isValid() && record.processId > 0;
}

void parseEnd(const QByteArray &tail, RunRecord &record)
{
    for (const QByteArray &line : tail.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if ((fields[0] == "ended" || fields[0] == "cut-off") && fields.size() == 3) {
            record.end = fields[0] == "ended" ? RunEnd::Ended : RunEnd::CutOff;
            record.renamedEntries = fields[2].toLongLong();
        }
    }
}

std::optional<RunRecord> readRecord(const QString &path, bool withSteps)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    RunRecord record;
    record.path = path;
    if (!parseHeader(file.read(headRead), record))
        return std::nullopt;
    if (withSteps) {
        file.seek(0);
        const QByteArray all = file.readAll();
        for (qsizetype start = 0; start < all.size();) {
            qsizetype end = all.indexOf('\n', start);
            if (end < 0)
                end = all.size();
            if (all.sliced(start, end - start).startsWith("rename\t")) {
                if (const std::optional<PlannedStep> step = parseStep(all.sliced(start, end - start)))
                    record.steps.append(*step);
            }
            start = end + 1;
        }
    }
    file.seek(std::max<qint64>(0, file.size() - tailRead));
    parseEnd(file.readAll(), record);
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

QString RunRecord::fileName() const
{
    return QFileInfo(path).fileName();
}

bool RunRecord::processRunning() const
{
    return processStartOf(processId) == processStart;
}

std::optional<RecordFailure> RunRecordWriter::begin(const QString &folder, RunKind kind, const QString &restores,
                                                    const QString &workbook, const RenamePlan &plan)
{
    if (std::optional<RecordFailure> failure = write(folder, kind, restores, workbook, plan))
        return failure;
    return makeDurable();
}

std::optional<RecordFailure> RunRecordWriter::write(const QString &folder, RunKind kind, const QString &restores,
                                                    const QString &workbook, const RenamePlan &plan)
{
    if (const std::optional<FileFailure> failure = makeFolders(folder))
        return recordFailureOf(*failure);
    // Runs begun in the same millisecond by one process sort by the number
    // after the process id.
    static std::atomic<int> sequence = 0;
    const QDateTime started = QDateTime::currentDateTime();
    const QString stem = folder + u'/' + started.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + u'-' +
                         QString::number(QCoreApplication::applicationPid()) + u'-';
    while (!file.isOpen()) {
        filePath = stem + QString::number(sequence++).rightJustified(6, u'0') + QStringLiteral(".txt");
        const std::optional<FileFailure> failure = file.create(filePath);
        if (failure && failure->kind != FileFailureKind::AlreadyExists)
            return recordFailureOf(*failure);
    }
    folderPath = folder;

    StepLineWriter lines(file, headerOf(kind, restores, workbook, started));
    forEachPlannedStep(plan, [&lines](qint64 rowNumber, const EntryId &entry, const QString &oldPath,
                                      const QString &newPath) { lines.writeStep(rowNumber, entry, oldPath, newPath); });
    if (const std::optional<FileFailure> failure =
            lines.finishWith("planned\t" + QByteArray::number(plannedStepCount(plan)) + '\n'))
        return discard(*failure);
    return std::nullopt;
}

std::optional<RecordFailure> RunRecordWriter::makeDurable()
{
    std::optional<FileFailure> failure = file.sync();
    if (!failure)
        failure = syncFolder(folderPath);
    if (failure)
        return discard(*failure);
    return std::nullopt;
}

RecordFailure RunRecordWriter::discard(const FileFailure &failure)
{
    file.close();
    removeFile(filePath);
    return recordFailureOf(failure);
}

void RunRecordWriter::end(const QList<RowOutcome> &outcomes, qsizetype renamedEntries)
{
    if (!file.isOpen())
        return;
    QByteArray text;
    text.reserve(outcomes.size() * 32);
    for (const RowOutcome &outcome : outcomes) {
        text += "row\t";
        text += QByteArray::number(outcome.rowNumber);
        text += '\t';
        text += statusWord(outcome.status);
        text += '\n';
    }
    text += "ended\t" + timeText(QDateTime::currentDateTime()) + '\t' + QByteArray::number(renamedEntries) + '\n';
    file.write(text);
}

void RunRecordWriter::settle()
{
    if (!file.isOpen())
        return;
    file.sync();
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
    record.steps = std::move(full->steps);
    return true;
}

std::optional<RecordFailure> markRunCutOff(const RunRecord &record, qsizetype renamedEntries)
{
    return recordFailureOf(appendLineDurably(record.path, "cut-off\t" + timeText(QDateTime::currentDateTime()) + '\t' +
                                               QByteArray::number(renamedEntries) + '\n'));
}

void pruneRunRecords(const QString &folder, qsizetype kept)
{
    const QList<RunRecord> records = readRunRecords(folder);
    for (qsizetype i = kept; i < records.size(); ++i) {
        if (!(records[i].end == RunEnd::Running && records[i].processRunning()))
            QFile::remove(records[i].path);
    }
}
