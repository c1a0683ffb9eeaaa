// Feeds any bytes to the run record's reader. A power cut may cut a record
// anywhere, and any file may stand in the records' folder: a record must read
// or be refused, never crash or hang.
//
// Checked for every input: a header read has a valid start and a process id;
// the steps read, written again as a run writes them, read back the same; and
// a header read, written again, reads back the same.
#include "rename/run_record_format.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameStep(const PlannedStep &a, const PlannedStep &b)
{
    return a.rowNumber == b.rowNumber && a.entry == b.entry && a.oldPath == b.oldPath && a.newPath == b.newPath;
}

void checkStepsRewrite(const QList<PlannedStep> &steps)
{
    QByteArray rewritten;
    StepLineEncoder encoder;
    for (const PlannedStep &step : steps)
        encoder.append(rewritten, step.rowNumber, step.entry, step.oldPath, step.newPath);
    const QList<PlannedStep> again = parseRunSteps(rewritten);
    check(again.size() == steps.size());
    for (qsizetype i = 0; i < steps.size(); ++i)
        check(sameStep(again[i], steps[i]));
}

void checkHeaderRewrite(const RunRecord &record)
{
    RunRecord again;
    const QByteArray header = runRecordHeader(record.kind, record.restores, record.workbook, record.started,
                                              record.processId, record.processStart);
    check(parseRunHeader(header, again));
    check(again.kind == record.kind && again.workbook == record.workbook && again.processId == record.processId &&
          again.processStart == record.processStart && again.started == record.started);
    check(record.kind != RunKind::Restore || again.restores == record.restores);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    RunRecord record;
    if (parseRunHeader(bytes, record)) {
        check(record.started.isValid() && record.processId > 0);
        checkHeaderRewrite(record);
    }
    parseRunEnd(bytes, record);
    check(record.end != RunEnd::Running || record.renamedEntries == 0);
    checkStepsRewrite(parseRunSteps(bytes));
    return 0;
}
