// A naming table as long as an .xls sheet allows (65,535 entries below the
// header) through steps 2 and 3, in hidden offices:
//   quillmere_scale_sheet_bench [WORK_FOLDER]
// Step 1 lists 65,535 files in 656 folders; step 2 writes and shades the
// table; the user's part (a new name for every row, then save) is scripted;
// step 3 reads the saved table and renames every file. Prints each time and
// fails when a file was lost or not renamed.
#include "bench/common/bench_office.h"
#include "tests/common/recording_table_view.h"
#include "steps/step_three_job.h"
#include "search/directory_scan.h"
#include "sheet/libreoffice/office_launch.h"
#include "sheet/naming_table_layout.h"
#include "steps/naming_table_export.h"
#include "steps/standby_office.h"
#include "tests/common/private_state_home.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr qint64 entries = NamingTable::xlsSheetRows - 1;
constexpr qint64 filesPerFolder = 100;

double timed(const char *what, const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %8.2f s\n", what, seconds);
    std::fflush(stdout);
    return seconds;
}

qint64 countFiles(const QString &root, const QString &pattern)
{
    qint64 count = 0;
    for (QDirIterator walk(root, {pattern}, QDir::Files, QDirIterator::Subdirectories); walk.hasNext(); walk.next())
        ++count;
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    prepareProcessForLibreOffice();
    usePrivateStateHome();
    QCoreApplication application(argc, argv);
    const QString work = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + "/quillmere-scale-sheet";
    const QString files = work + "/files";
    QDir(work).removeRecursively();
    for (qint64 i = 0; i < entries; ++i) {
        const QString folder = files + QString("/folder%1").arg(i / filesPerFolder);
        if (i % filesPerFolder == 0)
            QDir().mkpath(folder);
        QFile file(folder + QString("/drawing%1.dwg").arg(i));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray::number(i));
    }
    const QString workbook = work + "/table.xls";

    FoundEntries found;
    timed("step 1: scan", [&] { found = scanFolder(files, "*.dwg").entries; });

    std::unique_ptr<CalcOffice> started = startHiddenOfficeReportingTime();
    if (!started)
        return 2;
    CalcOffice &office = *started;
    if (!office.createWorkbook(workbook).ok())
        return 2;
    QStringList messages;
    timed("step 2: write and shade the table", [&] {
        RecordingTableView stepTwo(messages);
        writeNamingTable(office, workbook, found, stepTwo);
    });
    timed("user: type every new name, save", [&] {
        QList<QStringList> columnD;
        for (const QString &name : found.fileNames)
            columnD << QStringList{"renamed-" + name};
        bestEffort(office.putTextBlock(2, 4, columnD));
        bestEffort(office.saveWorkbook());
    });
    bestEffort(office.quit());
    started.reset();

    CountingRenameView view;
    timed("step 3: read the table and rename", [&] {
        StandbyOffice ownOffice(libreOfficeReaderStarter(CalcWindow::Hidden));
        runCounting(StepThreeJob(ownOffice, workbook), view);
    });

    const qint64 renamed = countFiles(files, "renamed-drawing*.dwg");
    const qint64 all = countFiles(files, "*");
    std::printf("table rows %lld, listed %lld, renamed %lld, files %lld, messages: %s\n",
                static_cast<long long>(found.fileNames.size() + 1), static_cast<long long>(view.listed),
                static_cast<long long>(renamed), static_cast<long long>(all), qPrintable((messages + view.messages).join(" | ")));
    const bool complete = found.fileNames.size() == entries && view.listed == entries && renamed == entries
        && all == entries && messages.isEmpty() && view.messages == QStringList{"OK,YOU MAKE IT!"};
    QDir(work).removeRecursively();
    if (!complete) {
        std::printf("NOT EVERY FILE WAS RENAMED\n");
        return 1;
    }
    return 0;
}
