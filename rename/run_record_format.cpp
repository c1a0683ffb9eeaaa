#include "rename/run_record_format.h"

#include "process/running_process.h"
#include "rename/record_storage.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

constexpr char firstLine[] = "quillmere run record 1";

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
    case RowStatus::NotRun: return "not-run";
    }
    return "failed";
}

std::optional<EntryId> parseEntryId(const QByteArray &field)
{
    const QList<QByteArray> id = field.split(':');
    if (id.size() != 2)
        return std::nullopt;
    return EntryId{id[0].toULongLong(), id[1].toULongLong()};
}

std::optional<PlannedStep> parseStep(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 5)
        return std::nullopt;
    const std::optional<EntryId> id = parseEntryId(fields[2]);
    const std::optional<QString> oldPath = unescaped(fields[3]);
    const std::optional<QString> newPath = unescaped(fields[4]);
    if (!id || !oldPath || !newPath)
        return std::nullopt;
    return PlannedStep{fields[1].toLongLong(), *id, *oldPath, *newPath};
}

// A whole "claimed" line into `claims`; any other line is passed over.
void parseClaimed(const QByteArray &line, RunClaims &claims)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 3)
        return;
    const std::optional<EntryId> id = parseEntryId(fields[1]);
    const std::optional<QString> path = unescaped(fields[2]);
    if (id && path)
        claims.made.insert(*path, *id);
}

// The folder part of a path, "/" included; nothing for a path without one,
// which no run writes either.
std::optional<QStringView> folderPartOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? std::nullopt : std::optional(QStringView(path).first(slash + 1));
}

// A run spells both paths of a step with the same folder text, as the row
// or the restored record gave it.
bool movesToAnotherFolder(const PlannedStep &step)
{
    const std::optional<QStringView> from = folderPartOf(step.oldPath);
    const std::optional<QStringView> to = folderPartOf(step.newPath);
    return !from || !to || *from != *to;
}

// The lines of `text` that end with a line break. What follows the last one
// is a line a cut may have shortened: "process\t4242" may have been the id
// 42424, and "ended\t…\t1" an end with 12 entries renamed.
QList<QByteArray> completeLines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    return lines;
}

} // namespace

QString RunRecord::fileName() const
{
    return QFileInfo(path).fileName();
}

bool RunRecord::processRunning() const
{
    return processRuns(processId, processStart);
}

QByteArray runRecordHeader(RunKind kind, const QString &restores, const QString &workbook, const QDateTime &started,
                           qint64 processId, quint64 processStart)
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
    header += "\nprocess\t" + QByteArray::number(processId) + '\t' + QByteArray::number(processStart) + '\n';
    return header;
}

void StepLineEncoder::append(QByteArray &text, qint64 rowNumber, const EntryId &entry, const QString &oldPath,
                             const QString &newPath)
{
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
}

QByteArray claimLine(const QString &path)
{
    QByteArray line = "claim\t";
    appendEscaped(line, path);
    return line + '\n';
}

QByteArray claimedLine(const QString &path, const EntryId &claim)
{
    QByteArray line = "claimed\t" + QByteArray::number(claim.device) + ':' + QByteArray::number(claim.inode) + '\t';
    appendEscaped(line, path);
    return line + '\n';
}

QByteArray plannedLine(qsizetype count)
{
    return "planned\t" + QByteArray::number(count) + '\n';
}

QByteArray runEndLines(const QList<RowOutcome> &outcomes, qsizetype renamedEntries, const QDateTime &ended,
                       bool stopped)
{
    QByteArray text;
    text.reserve(outcomes.size() * 32);
    for (const RowOutcome &outcome : outcomes) {
        text += "row\t";
        text += QByteArray::number(outcome.rowNumber);
        text += '\t';
        text += statusWord(outcome.status());
        text += '\n';
    }
    text += (stopped ? "stopped\t" : "ended\t") + timeText(ended) + '\t' + QByteArray::number(renamedEntries) + '\n';
    return text;
}

QByteArray cutOffLine(const QDateTime &found, qsizetype renamedEntries)
{
    return "cut-off\t" + timeText(found) + '\t' + QByteArray::number(renamedEntries) + '\n';
}

QByteArray recoveryStoppedLine(const QDateTime &stopped, qsizetype renamedEntries)
{
    return "recovery-stopped\t" + timeText(stopped) + '\t' + QByteArray::number(renamedEntries) + '\n';
}

bool parseRunHeader(const QByteArray &head, RunRecord &record)
{
    const QList<QByteArray> lines = completeLines(head);
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

QList<PlannedStep> parseRunSteps(const QByteArray &whole, qsizetype *damagedLine, RunClaims *claims,
                                 QSet<qint64> *renamedRows)
{
    QList<PlannedStep> steps;
    qsizetype firstDamaged = 0;
    qsizetype lineNumber = 0;
    for (qsizetype start = 0; start < whole.size();) {
        ++lineNumber;
        qsizetype end = whole.indexOf('\n', start);
        const bool ended = end >= 0;
        if (!ended)
            end = whole.size();
        const QByteArray line = whole.sliced(start, end - start);
        if (ended && line.startsWith("rename\t")) {
            if (const std::optional<PlannedStep> step = parseStep(line)) {
                steps.append(*step);
                if (firstDamaged == 0 && movesToAnotherFolder(*step))
                    firstDamaged = lineNumber;
            }
        } else if (claims && ended && line.startsWith("claim\t")) {
            if (const std::optional<QString> path = unescaped(line.sliced(6)))
                claims->paths.append(*path);
        } else if (claims && ended && line.startsWith("claimed\t")) {
            parseClaimed(line, *claims);
        } else if (renamedRows && ended && line.startsWith("row\t") && line.endsWith("\trenamed")) {
            if (const QList<QByteArray> fields = line.split('\t'); fields.size() == 3)
                renamedRows->insert(fields[1].toLongLong());
        }
        start = end + 1;
    }
    if (damagedLine)
        *damagedLine = firstDamaged;
    return steps;
}

void parseRunEnd(const QByteArray &tail, RunRecord &record)
{
    for (const QByteArray &line : completeLines(tail)) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 3)
            continue;
        const QByteArray &key = fields[0];
        const bool foundCutOff = key == "cut-off" || key == "recovery-stopped";
        if (key == "ended" || key == "stopped" || foundCutOff) {
            record.end = key == "ended" ? RunEnd::Ended : key == "stopped" ? RunEnd::Stopped : RunEnd::CutOff;
            record.renamedEntries = fields[2].toLongLong();
            record.recoveryStopped = key == "recovery-stopped";
            if (!foundCutOff)
                record.ended = QDateTime::fromString(QString::fromUtf8(fields[1]), Qt::ISODateWithMs);
        }
    }
}
