// The whole workflow at the size an .xlsx sheet allows, in hidden offices:
//   quillmere_scale_million_bench [ENTRIES] [WORK_FOLDER]
// ENTRIES (default 1,000,000, at most 1,048,575: a sheet's rows below the
// header) files in folders of 100. Each part is printed beside its baseline,
// measured in the same run:
//   - step 1, the scan, against `find` listing the same tree;
//   - step 2 into a new, empty .xlsx, against the same table put into another
//     one in two block writes (header, then columns B and C);
//   - step 3 with the table read ahead, as after step 2 once the user has
//     saved, against one range read of B to D from the open workbook and a
//     loop of no-replace renames (which also puts the old names back).
// The program's own peak memory is that of the processes running steps 1
// and 2 and step 3, taken before any baseline runs in them; the offices are
// processes of their own. The tree is kept in WORK_FOLDER for later runs of
// the same size. Fails when an entry is lost or not renamed, or a part fails.
#include "bench/common/bench_office.h"
#include "tests/common/recording_table_view.h"
#include "bench/common/find_listing.h"
#include "search/directory_scan.h"
#include "sheet/libreoffice/office_launch.h"
#include "sheet/naming_table_layout.h"
#include "steps/step_three_job.h"
#include "steps/naming_table_export.h"
#include "steps/sheet_failure_texts.h"
#include "steps/standby_office.h"
#include "tests/common/private_state_home.h"
#include "tests/common/read_ahead_watch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>

#include <sys/resource.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr qint64 defaultEntries = 1000000;
constexpr qint64 filesPerFolder = 100;
constexpr auto readAheadLimit = std::chrono::minutes(10);

QString folderOf(const QString &files, qint64 entry)
{
    return QStringLiteral("%1/folder%2/").arg(files).arg(entry / filesPerFolder);
}

QString oldName(qint64 entry) { return QStringLiteral("drawing%1.dwg").arg(entry); }
QString newName(const QString &old) { return QStringLiteral("图-") + old; }

// The tree of `entries` files under `files`, made once: a marker beside it
// names its size, and is removed while step 3 has the files under new names.
QString treeMarker(const QString &files) { return files + QStringLiteral(".entries"); }

bool treeIsReady(const QString &files, qint64 entries)
{
    QFile marker(treeMarker(files));
    return marker.open(QIODevice::ReadOnly) && marker.readAll().toLongLong() == entries;
}

void markTree(const QString &files, qint64 entries)
{
    QFile marker(treeMarker(files));
    if (marker.open(QIODevice::WriteOnly))
        marker.write(QByteArray::number(entries));
}

bool buildTree(const QString &files, qint64 entries)
{
    if (treeIsReady(files, entries))
        return true;
    std::printf("building %lld files in %s ...\n", static_cast<long long>(entries), qPrintable(files));
    std::fflush(stdout);
    QFile::remove(treeMarker(files));
    QDir(files).removeRecursively();
    for (qint64 entry = 0; entry < entries; ++entry) {
        if (entry % filesPerFolder == 0 && !QDir().mkpath(folderOf(files, entry)))
            return false;
        const QByteArray path = QFile::encodeName(folderOf(files, entry) + oldName(entry));
        const int file = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (file < 0)
            return false;
        close(file);
    }
    markTree(files, entries);
    return true;
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double timed(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A part's figures for the parent, on lines "= key value"; anything else the
// part prints is passed through.
void report(const char *key, double value)
{
    std::printf("= %s %f\n", key, value);
    std::fflush(stdout);
}

void fail(const QString &why)
{
    std::printf("FAILED: %s\n", qPrintable(why));
    std::fflush(stdout);
    std::exit(1);
}

// Steps 1 and 2, then the user's part (a new name in every row, saved) on
// the table step 2 wrote, then step 2's baseline. Step 2 cannot write more
// rows than an .xls sheet holds until it knows the workbook's format; then
// the user's part goes to the baseline's table, so that step 3 still gets
// every row.
void runStepsOneAndTwo(const QString &work, qint64 entries)
{
    const QString files = work + QStringLiteral("/files");
    FoundEntries found;
    report("scan", timed([&] { found = scanFolder(files, QStringLiteral("*.dwg")).entries; }));
    report("listed", double(found.size()));

    std::unique_ptr<CalcOffice> office = startHiddenOfficeReportingTime();
    if (!office)
        fail(QStringLiteral("no office"));
    const QString stepTwoTable = work + QStringLiteral("/step2.xlsx");
    QFile::remove(stepTwoTable);
    if (const SheetStatus created = office->createWorkbook(stepTwoTable); !created.ok())
        fail(QStringLiteral("the new .xlsx could not be made: ") + sheetFailureText(created.error()));
    QStringList messages;
    bool written = false;
    report("step2", timed([&] {
        RecordingTableView stepTwo(messages);
        written = writeNamingTable(*office, stepTwoTable, found, stepTwo);
    }));
    report("programPeak12", peakMiB());
    const SheetResult<UsedExtent> extent = office->usedExtent();
    const qint64 rowsWritten = extent.ok() ? extent.value().rows - 1 : 0;
    report("step2Rows", double(rowsWritten));
    if (!messages.isEmpty())
        std::printf("step 2 said: %s\n", qPrintable(messages.join(" | ")));
    if (!written)
        fail(QStringLiteral("step 2 did not write its table"));

    QList<QStringList> newNames;
    newNames.reserve(found.size());
    for (const QString &name : found.fileNames)
        newNames.append({newName(name)});
    const auto typeAndSave = [&] {
        if (!office->putTextBlock(NamingTable::firstDataRow, NamingTable::newNameColumn, newNames).ok()
            || !office->saveWorkbook().ok())
            fail(QStringLiteral("the new names could not be typed and saved"));
    };
    const bool stepTwoComplete = rowsWritten == entries;
    if (stepTwoComplete)
        report("user", timed(typeAndSave));

    const QString baselineTable = work + QStringLiteral("/baseline.xlsx");
    QFile::remove(baselineTable);
    if (!office->createWorkbook(baselineTable).ok())
        fail(QStringLiteral("the baseline's .xlsx could not be made"));
    QList<QStringList> rows;
    rows.reserve(found.size());
    for (qint64 i = 0; i < found.size(); ++i)
        rows.append({found.folderPaths[i], found.fileNames[i]});
    bool baselineWritten = false;
    report("step2Baseline", timed([&] {
        baselineWritten = office->putTextBlock(NamingTable::headerRow, 1, {NamingTable::headerTexts()}).ok()
            && office->putTextBlock(NamingTable::firstDataRow, NamingTable::folderColumn, rows).ok();
    }));
    if (!baselineWritten)
        fail(QStringLiteral("the baseline could not write the table: ")
             + sheetFailureText(office->unresponsiveReason().value_or(SheetFailure{})));
    if (!stepTwoComplete)
        report("user", timed(typeAndSave));
    std::printf("= table %s\n", qPrintable(stepTwoComplete ? stepTwoTable : baselineTable));
    bestEffort(office->quit());
}

// Step 3 with the table read ahead, then its baseline, which renames every
// file back so that the tree can be used again.
void runStepThree(const QString &work, qint64 entries, const QString &table)
{
    const QString files = work + QStringLiteral("/files");
    QFile::remove(treeMarker(files));
    CountingRenameView view;
    {
        ReadAheadWatch watch;
        StandbyOffice standby(watch.starter(libreOfficeReaderStarter(CalcWindow::Hidden)));
        const double readAhead = timed([&] {
            standby.prepare(table);
            if (!watch.waitForRead(readAheadLimit))
                fail(QStringLiteral("the standby office did not read the table ahead"));
        });
        report("readAhead", readAhead);
        report("step3", timed([&] { runCounting(StepThreeJob(standby, table), view); }));
    }
    report("programPeak3", peakMiB());
    report("renamed", double(view.listed));
    std::printf("step 3 said: %s\n", qPrintable(view.messages.join(" | ")));
    if (view.listed != entries || view.messages != QStringList{QStringLiteral("OK,YOU MAKE IT!")})
        fail(QStringLiteral("step 3 did not rename every file"));

    std::unique_ptr<CalcOffice> office = startHiddenOfficeReportingTime();
    if (!office || !office->openWorkbookForReading(table).ok())
        fail(QStringLiteral("the baseline could not open the table"));
    qint64 renamedBack = 0;
    report("step3Baseline", timed([&] {
        const SheetResult<CellTextRows> block = office->readTextBlock(
            {NamingTable::firstDataRow, NamingTable::folderColumn, NamingTable::firstDataRow + entries - 1,
             NamingTable::newNameColumn});
        if (!block.ok())
            return;
        for (const QList<CellText> &row : block.value()) {
            const QString folder = row.value(0).value_or(QString());
            const QByteArray from = QFile::encodeName(folder + row.value(2).value_or(QString()));
            const QByteArray to = QFile::encodeName(folder + row.value(1).value_or(QString()));
            if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
                ++renamedBack;
        }
    }));
    bestEffort(office->quit());
    if (renamedBack != entries)
        fail(QStringLiteral("the baseline renamed back %1 of %2 files").arg(renamedBack).arg(entries));
    markTree(files, entries);
}

using Figures = QMap<QString, QString>;

// Runs one part in a process of its own, so that its peak memory is its own.
// Returns its figures; `succeeded` says whether it did all its work.
Figures runPart(const QStringList &arguments, bool &succeeded)
{
    QProcess part;
    part.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    part.start(QCoreApplication::applicationFilePath(), arguments);
    Figures figures;
    bool failed = false;
    while (part.waitForReadyRead(-1) || part.canReadLine()) {
        while (part.canReadLine()) {
            const QString line = QString::fromUtf8(part.readLine()).trimmed();
            if (line.startsWith(QLatin1String("= "))) {
                const qsizetype space = line.indexOf(u' ', 2);
                figures[line.mid(2, space - 2)] = line.mid(space + 1);
            } else {
                std::printf("  %s\n", qPrintable(line));
                failed = failed || line.startsWith(QLatin1String("FAILED"));
            }
        }
        std::fflush(stdout);
    }
    part.waitForFinished(-1);
    succeeded = !failed && part.exitStatus() == QProcess::NormalExit && part.exitCode() == 0;
    return figures;
}

double number(const Figures &figures, const char *key) { return figures.value(QString::fromLatin1(key)).toDouble(); }

} // namespace

int main(int argc, char **argv)
{
    prepareProcessForLibreOffice();
    usePrivateStateHome();
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() >= 4 && arguments[1] == QLatin1String("--steps-1-2")) {
        runStepsOneAndTwo(arguments[2], arguments[3].toLongLong());
        return 0;
    }
    if (arguments.size() >= 5 && arguments[1] == QLatin1String("--step-3")) {
        runStepThree(arguments[2], arguments[3].toLongLong(), arguments[4]);
        return 0;
    }

    const qint64 entries = arguments.size() > 1 ? arguments[1].toLongLong() : defaultEntries;
    if (entries < 1 || entries > (qint64(1) << 20) - 1) {
        std::printf("usage: quillmere_scale_million_bench [ENTRIES, 1 to 1048575] [WORK_FOLDER]\n");
        return 2;
    }
    const QString work = arguments.size() > 2 ? arguments[2] : QDir::tempPath() + QStringLiteral("/quillmere-scale-million");
    const QString files = work + QStringLiteral("/files");
    if (!buildTree(files, entries)) {
        std::printf("the tree could not be made in %s\n", qPrintable(files));
        return 2;
    }
    const QString count = QString::number(entries);

    qint64 findListed = 0;
    const double find = timed([&] { findListed = listWithFind(files); });
    std::printf("%lld files in %lld folders, tables in .xlsx\n", static_cast<long long>(entries),
                static_cast<long long>((entries + filesPerFolder - 1) / filesPerFolder));
    bool partsSucceeded = false;
    const Figures one = runPart({QStringLiteral("--steps-1-2"), work, count}, partsSucceeded);
    const double scan = number(one, "scan"), step2 = number(one, "step2"), step2Baseline = number(one, "step2Baseline");
    std::printf("step 1: scan              %8.2f s = %.2f x find (%.2f s, %lld listed)\n", scan, scan / find, find,
                static_cast<long long>(findListed));
    std::printf("step 2: write the table   %8.2f s = %.2f x two block writes (%.2f s); %lld of %lld rows written%s\n",
                step2, step2 / step2Baseline, step2Baseline, static_cast<long long>(number(one, "step2Rows")),
                static_cast<long long>(entries), step2 < 40 ? "" : "  [target: under 40 s]");
    std::printf("user: type every new name, save %8.2f s\n", number(one, "user"));
    std::printf("program's peak memory, steps 1 and 2  %8.1f MiB%s\n", number(one, "programPeak12"),
                number(one, "programPeak12") < 1024 ? "" : "  [target: under 1 GiB]");
    std::fflush(stdout);
    if (!partsSucceeded)
        return 1;

    const Figures three = runPart({QStringLiteral("--step-3"), work, count, one.value(QStringLiteral("table"))}, partsSucceeded);
    const double step3 = number(three, "step3"), step3Baseline = number(three, "step3Baseline");
    std::printf("step 3: table read ahead in %.2f s; click to message %8.2f s = %.2f x one range read + renameat2 loop "
                "(%.2f s)%s\n",
                number(three, "readAhead"), step3, step3 / step3Baseline, step3Baseline,
                step3 <= step3Baseline ? "" : "  [target: at most 1.0 x]");
    std::printf("program's peak memory, step 3         %8.1f MiB%s\n", number(three, "programPeak3"),
                number(three, "programPeak3") < 1024 ? "" : "  [target: under 1 GiB]");
    return partsSucceeded && number(one, "listed") == entries && number(three, "renamed") == entries ? 0 : 1;
}
