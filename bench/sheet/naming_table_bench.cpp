// Usage: quillmere_naming_table_bench [entries]   (default 50000)
// Writes a naming table of `entries` files (twenty per folder) into a fresh
// workbook in a hidden office, once as the program does and once cell by cell
// as a plain automation client would, and compares the two.

#include "bench/common/bench_office.h"
#include "sheet/libreoffice/office_launch.h"
#include "sheet/naming_table_layout.h"
#include "steps/naming_table_export.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Step 2's messages, printed where the figures are.
struct PrintedTableView : NamingTableView {
    void showMessage(const QString &text) override { std::printf("message: %s\n", qPrintable(text)); }
};

// The table written one call per cell, in the order a per-cell client uses,
// and the folder column read back one cell at a time for the banding; like
// step 2, it goes on past a failed call.
void writeCellByCell(CalcOffice &office, const FoundEntries &entries)
{
    using namespace NamingTable;
    for (int column = 1; column <= 4; ++column)
        bestEffort(office.putTextBlock(headerRow, column, {{headerTexts()[column - 1]}}));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        bestEffort(office.putTextBlock(i + firstDataRow, folderColumn, {{entries.folderPaths[i]}}));
        bestEffort(office.putTextBlock(i + firstDataRow, nameColumn, {{entries.fileNames[i]}}));
    }
    bestEffort(office.runFirstSheetMacro(QStringLiteral("ClearRow")));
    const UsedExtent used = office.usedExtent().value();
    bestEffort(office.clearFill({firstDataRow, 1, used.rows, used.columns}));
    QList<CellText> folders;
    for (qint64 row = firstDataRow; row <= used.rows; ++row)
        folders << office.cellText(row, folderColumn).value();
    for (const CellRect &group : shadedGroups(folders, used.columns))
        bestEffort(office.fillRects({group}, groupShade));
}

} // namespace

int main(int argc, char **argv)
{
    prepareProcessForLibreOffice();
    QCoreApplication app(argc, argv);
    const qint64 entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 50000;
    FoundEntries found;
    for (qint64 i = 0; i < entries; ++i)
        found.append(QStringLiteral("/drawings/project%1/").arg(i / 20), QStringLiteral("sheet%1.dwg").arg(i));

    const std::unique_ptr<CalcOffice> started = startHiddenOfficeReportingTime();
    if (!started)
        return 1;
    CalcOffice &office = *started;
    QElapsedTimer clock;

    QTemporaryDir folder;
    const auto timeRun = [&](const char *label, const QString &file, const auto &write) {
        if (!office.createWorkbook(folder.filePath(file)).ok())
            return -1.0;
        clock.restart();
        write();
        const double seconds = clock.nsecsElapsed() / 1e9;
        std::printf("%-15s %8.3f s for %lld entries\n", label, seconds, static_cast<long long>(entries));
        return seconds;
    };
    const double batched = timeRun("batched:", "batched.xls", [&] {
        PrintedTableView printed;
        writeNamingTable(office, folder.filePath("batched.xls"), found, printed);
    });
    const double perCell = timeRun("cell by cell:", "per-cell.xls", [&] { writeCellByCell(office, found); });
    if (batched <= 0 || perCell <= 0) {
        std::printf("a workbook could not be made\n");
        return 1;
    }
    const double ratio = perCell / batched;
    std::printf("ratio:          %8.1f x  (target at least 50 x: %s)\n", ratio, ratio >= 50 ? "met" : "missed");
    std::printf("batched target: under 3 s: %s\n", batched < 3 ? "met" : "missed");
    return 0;
}
