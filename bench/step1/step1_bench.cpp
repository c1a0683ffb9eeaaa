// Times step 1 on a synthetic tree against `find` doing the same listing:
//   quillmere_step1_bench [TREE_FOLDER]
// (a) the search alone, (b) the whole step 1 through the main window,
// including filling the two lists, (c) find printing folder, name and size.
#include "search/directory_scan.h"
#include "tests/app/main_window_under_test.h"
#include "tests/common/scripted_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

constexpr int folderCount = 20000;
constexpr int entriesPerFolder = 10; // 9 files and, below the top levels, the folders

// 20,000 folders, 10 per parent, each holding 9 files of which one in ten
// overall ends in ".dwg": about 200,000 entries.
void buildTree(const QString &root)
{
    if (QFile::exists(root + "/.complete"))
        return;
    QDir(root).removeRecursively();
    QDir().mkpath(root);
    QStringList folders{root};
    for (int made = 0, parent = 0; made < folderCount - 1; ++parent) {
        for (int child = 0; child < entriesPerFolder && made < folderCount - 1; ++child, ++made) {
            const QString folder = folders.at(parent) + QString("/d%1").arg(child);
            QDir().mkdir(folder);
            folders << folder;
        }
    }
    int fileNumber = 0;
    for (const QString &folder : folders) {
        for (int i = 0; i < 9; ++i, ++fileNumber) {
            QFile file(folder + (fileNumber % 10 == 0 ? QString("/plan%1.dwg").arg(i) : QString("/note%1.txt").arg(i)));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(fileNumber % 97, 'x'));
        }
    }
    QFile(root + "/.complete").open(QIODevice::WriteOnly);
}

double bestSeconds(int runs, const std::function<void()> &work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void findBaseline(const QString &root, const QString &pattern)
{
    QStringList arguments{root, "-mindepth", "1"};
    if (pattern != "*.*")
        arguments << "-iname" << pattern;
    arguments << "-printf" << "%h/ %f %s\n";
    QProcess find;
    find.start("find", arguments);
    find.waitForFinished(-1);
    const QByteArray output = find.readAllStandardOutput();
    if (output.isEmpty())
        std::fprintf(stderr, "find printed nothing\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + "/quillmere-bench-tree";
    buildTree(root);
    constexpr int runs = 5;

    std::printf("tree: %s (%d folders)\n", qPrintable(root), folderCount);
    for (const QString &pattern : {QStringLiteral("*.*"), QStringLiteral("*.dwg")}) {
        qsizetype listed = 0;
        const double findSeconds = bestSeconds(runs, [&] { findBaseline(root, pattern); });
        const double searchSeconds = bestSeconds(runs, [&] {
            const FoundEntries found = scanFolder(root, pattern).entries;
            listed = found.fileNames.size();
        });
        ScriptedDialogs dialogs;
        MainWindowUnderTest window(dialogs);
        window.Combo1->setEditText(pattern);
        const double stepSeconds = bestSeconds(runs, [&] {
            dialogs.folderAnswers << root;
            window.chooseFolderAndScan();
            waitForStepToEnd(window);
        });
        std::printf("pattern %-6s listed %7lld | find %.3f s | (a) search %.3f s = %.2f x find (target <= 1.2)"
                    " | (b) step 1 %.3f s = %.2f x find (target <= 2.0)\n",
                    qPrintable(pattern), static_cast<long long>(listed), findSeconds, searchSeconds,
                    searchSeconds / findSeconds, stepSeconds, stepSeconds / findSeconds);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
