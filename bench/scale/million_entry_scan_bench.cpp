// Step 1 on a tree of 1,000,000 entries, against `find` listing the same:
//   quillmere_scale_scan_bench [TREE_FOLDER]
// The tree (20,000 folders of 49 files each, sizes sparse) is built once and
// kept. Each phase runs in a process of its own so that its peak memory is its
// own: find, the search alone, and the whole step 1 through the main window,
// which also fills the two lists. Then the cost of progress reporting: the
// scan through the step session, reporting its progress and polled as the
// window's progress window polls it, against the same search on a thread of
// its own handing its result back, which reports nothing; best of several
// rounds of each, taken in turn, in wall time and in processor time (all
// threads, user and system), which other work on a shared machine disturbs
// far less.
#include "bench/common/find_listing.h"
#include "search/directory_scan.h"
#include "steps/step_session.h"
#include "tests/app/main_window_under_test.h"
#include "tests/common/private_state_home.h"
#include "tests/common/scripted_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int folderCount = 20000;
constexpr int filesPerFolder = 49;
// Every folder but the top is an entry too, and the top holds one file more.
constexpr qint64 entryCount = qint64(folderCount) * filesPerFolder + (folderCount - 1) + 1;

void buildTree(const QString &root)
{
    if (QFile::exists(root + ".complete"))
        return;
    std::printf("building the tree in %s ...\n", qPrintable(root));
    std::fflush(stdout);
    QDir(root).removeRecursively();
    QDir().mkpath(root);
    QStringList folders{root};
    // 100 folders under the top, then 199 under each of those: depth 2.
    for (int made = 1; made < folderCount; ++made) {
        const QString parent = made <= 100 ? root : folders.at((made - 101) / 199 + 1);
        folders << parent + QString("/d%1").arg(made);
        QDir().mkdir(folders.last());
    }
    QFile(root + "/top.txt").open(QIODevice::WriteOnly);
    qint64 fileNumber = 0;
    for (const QString &folder : folders) {
        for (int i = 0; i < filesPerFolder; ++i, ++fileNumber) {
            const QByteArray path = QFile::encodeName(folder + QString(fileNumber % 10 == 0 ? "/plan%1.dwg" : "/note%1.txt").arg(i));
            const int file = open(path.constData(), O_WRONLY | O_CREAT, 0644);
            if (file < 0 || ftruncate(file, fileNumber % 4096) != 0) {
                std::fprintf(stderr, "cannot make %s\n", path.constData());
                std::exit(2);
            }
            close(file);
        }
    }
    QFile(root + ".complete").open(QIODevice::WriteOnly);
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &time) { return double(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One phase, in this process; prints "seconds listed peakMiB processorSeconds".
int runPhase(const QString &phase, const QString &root)
{
    const auto start = std::chrono::steady_clock::now();
    const double processorAtStart = processorSeconds(RUSAGE_SELF);
    qint64 listed = 0;
    if (phase == "find") {
        listed = listWithFind(root);
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%f %lld %f %f\n", seconds, static_cast<long long>(listed), usage.ru_maxrss / 1024.0,
                    processorSeconds(RUSAGE_CHILDREN));
        return 0;
    }
    if (phase == "search") {
        const FoundEntries found = scanFolder(root, "*.*").entries;
        listed = found.fileNames.size();
    } else if (phase == "search-beside") {
        FoundEntries found;
        const std::unique_ptr<QThread> beside(QThread::create([&] { found = scanFolder(root, "*.*").entries; }));
        beside->start();
        beside->wait();
        listed = found.fileNames.size();
    } else if (phase == "search-progress") {
        StepSession session{StartSpreadsheetReader()};
        FoundEntries found;
        QObject::connect(&session, &StepSession::ended, [&](const StepEnd &end) { found = end.found.value_or(FoundEntries()); });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] { session.progress(); });
        poll.start(100);
        session.startScan(root, "*.*");
        while (session.isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        listed = found.fileNames.size();
    } else {
        ScriptedDialogs dialogs;
        MainWindowUnderTest window(dialogs);
        window.Combo1->setEditText("*.*");
        dialogs.folderAnswers << root;
        window.chooseFolderAndScan();
        waitForStepToEnd(window);
        listed = rowsShown(window.List2);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%f %lld %f %f\n", seconds, static_cast<long long>(listed), peakMiB(),
                processorSeconds(RUSAGE_SELF) - processorAtStart);
    return 0;
}

struct Measured {
    double seconds = 0;
    qint64 listed = 0;
    double peak = 0;
    double processor = 0;
};

Measured measure(const QString &phase, const QString &root)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--phase", phase, root});
    child.waitForFinished(-1);
    Measured result;
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || fields.size() != 4) {
        std::fprintf(stderr, "phase %s failed\n", qPrintable(phase));
        std::exit(2);
    }
    result = {fields[0].toDouble(), fields[1].toLongLong(), fields[2].toDouble(), fields[3].toDouble()};
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    usePrivateStateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 4 && arguments[1] == "--phase")
        return runPhase(arguments[2], arguments[3]);

    const QString root = arguments.size() > 1 ? arguments[1] : QDir::tempPath() + "/quillmere-scale-tree";
    buildTree(root);
    const Measured find = measure("find", root);
    const Measured search = measure("search", root);
    const Measured step = measure("step1", root);
    std::printf("tree: %s, %lld entries (%d folders)\n", qPrintable(root), static_cast<long long>(entryCount), folderCount);
    std::printf("find           %7.2f s  peak %7.1f MiB  listed %lld\n", find.seconds, find.peak,
                static_cast<long long>(find.listed));
    std::printf("search alone   %7.2f s  peak %7.1f MiB  = %.2f x find  listed %lld\n", search.seconds, search.peak,
                search.seconds / find.seconds, static_cast<long long>(search.listed));
    std::printf("whole step 1   %7.2f s  peak %7.1f MiB  = %.2f x find  listed %lld\n", step.seconds, step.peak,
                step.seconds / find.seconds, static_cast<long long>(step.listed));

    constexpr int progressRounds = 15;
    constexpr double never = 1e9;
    Measured quiet{never, 0, 0, never}, reporting{never, 0, 0, never};
    for (int round = 0; round < progressRounds; ++round) {
        const Measured off = measure("search-beside", root);
        const Measured on = measure("search-progress", root);
        quiet.seconds = std::min(quiet.seconds, off.seconds);
        quiet.processor = std::min(quiet.processor, off.processor);
        reporting.seconds = std::min(reporting.seconds, on.seconds);
        reporting.processor = std::min(reporting.processor, on.processor);
        reporting.listed = on.listed;
    }
    std::printf("progress off   %7.2f s  processor %5.2f s  (search on a thread; best of %d)\n", quiet.seconds,
                quiet.processor, progressRounds);
    std::printf("progress on    %7.2f s  processor %5.2f s  (step session polled every 100 ms; best of %d)"
                "  listed %lld\n",
                reporting.seconds, reporting.processor, progressRounds, static_cast<long long>(reporting.listed));
    std::printf("progress cost  %+.1f %% processor, %+.1f %% wall (target <= 2 %%)\n",
                (reporting.processor / quiet.processor - 1) * 100, (reporting.seconds / quiet.seconds - 1) * 100);
    if (search.listed != entryCount || step.listed != entryCount || reporting.listed != entryCount) {
        std::printf("LOST ENTRIES: expected %lld\n", static_cast<long long>(entryCount));
        return 1;
    }
    return 0;
}
