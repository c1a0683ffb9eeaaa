// Usage: quillmere_step3_bench [renames] [rounds]   (defaults 10000 and 3)
// Times step 3 renaming `renames` files (a hundred per folder) from a saved
// naming table, through a hidden office started beforehand, against the least
// any program must do for the same job: one range read of the table and a
// plain loop of no-replace renames. Every round renames a freshly made tree;
// the best round of each counts. Once with the new names typed as text, once
// as numbers. The office start is reported on its own, and so is opening the
// workbook, which step 3 must do and the baseline does not.

#include "bench/common/bench_office.h"
#include "steps/batch_rename_step.h"
#include "sheet/libreoffice/libreoffice_calc.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 filesPerFolder = 100;

QString folderOf(const QString &root, qint64 entry)
{
    return QStringLiteral("%1/folder%2/").arg(root).arg(entry / filesPerFolder);
}

QString oldName(qint64 entry) { return QStringLiteral("drawing %1.dwg").arg(entry); }
QString newName(qint64 entry) { return QStringLiteral("图 %1.dwg").arg(entry); }

// The tree both contenders rename, made anew before each of them so that
// neither finds the other's work done.
bool makeTree(const QString &root, qint64 entries)
{
    QDir(root).removeRecursively();
    for (qint64 entry = 0; entry < entries; ++entry) {
        if (entry % filesPerFolder == 0 && !QDir().mkpath(folderOf(root, entry)))
            return false;
        QFile file(folderOf(root, entry) + oldName(entry));
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

// Column D holds the new names as text, or as plain numbers shown as they are.
enum class NewNames { Text, Numbers };

QString newNameCell(qint64 entry, NewNames kind)
{
    return kind == NewNames::Text ? newName(entry) : QString::number(100000 + entry);
}

bool makeWorkbook(CalcOffice &office, const QString &path, const QString &root, qint64 entries, NewNames kind)
{
    QList<QStringList> table{{"序号", "目录", "文件名", "新文件名"}};
    for (qint64 entry = 0; entry < entries; ++entry)
        table.append({QString::number(entry + 1), folderOf(root, entry), oldName(entry),
                      kind == NewNames::Text ? newName(entry) : QString()});
    if (!office.createWorkbook(path).ok() || !office.putTextBlock(1, 1, table).ok())
        return false;
    // Typed into a cell, a number becomes a number, as it does for the user.
    for (qint64 entry = 0; kind == NewNames::Numbers && entry < entries; ++entry) {
        if (!office.putCellFormula(entry + 2, 4, newNameCell(entry, kind)).ok())
            return false;
    }
    return office.saveWorkbook().ok();
}

// The baseline: the table read in one call, then one no-replace rename per row.
// Returns the number of rows renamed.
qint64 readAndRename(CalcOffice &office, qint64 entries)
{
    const auto block = office.readTextBlock({2, 2, entries + 1, 4});
    if (!block.ok())
        return 0;
    qint64 renamed = 0;
    for (const QList<CellText> &row : block.value()) {
        const QString folder = row.value(0).value_or(QString());
        const QByteArray from = QFile::encodeName(folder + row.value(1).value_or(QString()));
        const QByteArray to = QFile::encodeName(folder + row.value(2).value_or(QString()));
        if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            ++renamed;
    }
    return renamed;
}

double seconds(const QElapsedTimer &clock) { return clock.nsecsElapsed() / 1e9; }

struct Best {
    double step3 = 0;
    double baseline = 0;
    double open = 0;
};

// Runs the rounds for one table; false, with the reason printed, when a
// contender did not rename every file.
bool timeTable(CalcOffice &office, const QString &scratch, qint64 entries, int rounds, NewNames kind, Best &best)
{
    QElapsedTimer clock;
    const QString root = scratch + QStringLiteral("/tree");
    const QString workbook = scratch + (kind == NewNames::Text ? QStringLiteral("/text.xls") : QStringLiteral("/numbers.xls"));
    if (!makeWorkbook(office, workbook, root, entries, kind)) {
        std::printf("the naming table could not be made\n");
        return false;
    }
    for (int round = 0; round < rounds; ++round) {
        if (!makeTree(root, entries)) {
            std::printf("the tree could not be made in %s\n", qPrintable(root));
            return false;
        }
        CountingRenameView view;
        clock.restart();
        renameFromWorkbook(office, workbook, view);
        const double step3 = seconds(clock);
        if (view.listed != entries || view.messages != QStringList{QStringLiteral("OK,YOU MAKE IT!")}) {
            std::printf("step 3 listed %lld of %lld rows and said: %s\n", static_cast<long long>(view.listed),
                        static_cast<long long>(entries), qPrintable(view.messages.join(" | ")));
            return false;
        }

        // Opening the workbook is no part of the baseline, but step 3 pays
        // for it; timed here so that the ratio can be read against it.
        clock.restart();
        const bool opened = office.openWorkbookForReading(workbook).ok();
        const double open = seconds(clock);
        if (!opened || !makeTree(root, entries)) {
            std::printf("the baseline could not be set up\n");
            return false;
        }
        clock.restart();
        const qint64 renamed = readAndRename(office, entries);
        const double baseline = seconds(clock);
        if (renamed != entries) {
            std::printf("the baseline renamed %lld of %lld files\n", static_cast<long long>(renamed),
                        static_cast<long long>(entries));
            return false;
        }
        std::printf("%s round %d: step 3 %8.3f s, baseline %8.3f s, workbook open %8.3f s\n",
                    kind == NewNames::Text ? "text   " : "numbers", round + 1, step3, baseline, open);
        best.step3 = round == 0 ? step3 : std::min(best.step3, step3);
        best.baseline = round == 0 ? baseline : std::min(best.baseline, baseline);
        best.open = round == 0 ? open : std::min(best.open, open);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 10000;
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 3;
    if (entries < 1 || rounds < 1) {
        std::printf("usage: quillmere_step3_bench [renames >= 1] [rounds >= 1]\n");
        return 2;
    }

    const std::unique_ptr<CalcOffice> started = startHiddenOfficeReportingTime();
    if (!started)
        return 1;
    QTemporaryDir scratch;
    Best text;
    Best numbers;
    if (!scratch.isValid() || !timeTable(*started, scratch.path(), entries, rounds, NewNames::Text, text)
        || !timeTable(*started, scratch.path(), entries, rounds, NewNames::Numbers, numbers))
        return 1;

    for (const auto &[title, best] : {std::pair{"new names as text:   ", text}, std::pair{"new names as numbers:", numbers}}) {
        std::printf("%s step 3 %8.3f s for %lld renames (open, read, rename), baseline %8.3f s "
                    "(one range read + renameat2 loop): %5.2f x; workbook open %8.3f s\n",
                    title, best.step3, static_cast<long long>(entries), best.baseline, best.step3 / best.baseline,
                    best.open);
    }
    std::printf("numbers against text: %5.2f x\n", numbers.step3 / text.step3);
    return 0;
}
