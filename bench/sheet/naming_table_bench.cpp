// Usage: quillmere_naming_table_bench [entries]   (default 50000)
// Writes a naming table of `entries` files (twenty per folder) into a fresh
// workbook in a hidden office, once as the program does and once cell by cell
// as a plain automation client would, and compares the two.

#include "bench_office.h"
#include "libreoffice_calc.h"
#include "naming_table_export.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The table written one call per cell, in the order a per-cell client uses.
void writeCellByCell(Spreadsheet &office, const QStringList &folders, const QStringList &names)
{
    const QStringList header{"序号", "目录", "文件名", "新文件名"};
    for (int column = 1; column <= 4; ++column)
        office.putCellText(1, column, header[column - 1]);
    for (qsizetype i = 0; i < folders.size(); ++i) {
        office.putCellText(i + 2, 2, folders[i]);
        office.putCellText(i + 2, 3, names[i]);
    }
    office.runFirstSheetMacro(QStringLiteral("ClearRow"));
    const UsedExtent used = office.usedExtent().value();
    office.clearFill({2, 1, used.rows, used.columns});
    qint64 groupStart = 2;
    bool shade = false;
    QString previous = office.cellText(2, 2).value();
    for (qint64 row = 3; row <= used.rows + 1; ++row) {
        const QString current = row <= used.rows ? office.cellText(row, 2).value() : QString();
        if (current == previous)
            continue;
        if (shade)
            office.fillRects({{groupStart, 1, row - 1, used.columns}}, 35);
        shade = !shade;
        groupStart = row;
        previous = current;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 50000;
    QStringList folders;
    QStringList names;
    for (qint64 i = 0; i < entries; ++i) {
        folders << QStringLiteral("D:\\drawings\\project%1\\").arg(i / 20);
        names << QStringLiteral("sheet%1.dwg").arg(i);
    }

    const std::unique_ptr<Spreadsheet> started = startHiddenOfficeReportingTime();
    if (!started)
        return 1;
    Spreadsheet &office = *started;
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
        writeNamingTable(office, folder.filePath("batched.xls"), folders, names,
                         [](const QString &text) { std::printf("message: %s\n", qPrintable(text)); });
    });
    const double perCell = timeRun("cell by cell:", "per-cell.xls", [&] { writeCellByCell(office, folders, names); });
    if (batched <= 0 || perCell <= 0) {
        std::printf("a workbook could not be made\n");
        return 1;
    }
    const double ratio = perCell / batched;
    std::printf("ratio:          %8.1f x  (target at least 50 x: %s)\n", ratio, ratio >= 50 ? "met" : "missed");
    std::printf("batched target: under 3 s: %s\n", batched < 3 ? "met" : "missed");
    return 0;
}
