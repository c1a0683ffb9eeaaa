// Usage: quillmere_table_check_bench [sizes] [rounds]
//   sizes:  comma-separated row counts (default 100000,1000000)
//   rounds: rounds per size, the best counting (default 3)
// Times the check of a naming table already read (checkNamingTable: the
// plan, rows sharing a new path, new names taken, entries gone, extensions,
// the last run's record, entries replaced since step 1 listed them) against
// the plan alone (planNamingTableRenames) in
// the same run, on a tree of real files on this disk, a hundred to a folder,
// every row renaming its file to a new name in the same folder. Targets: the
// check at most 0.3 s for 100,000 rows and 3 s for 1,000,000; the process's
// peak memory at 1,000,000 rows under 1 GiB.

#include "rename/listed_entries.h"
#include "rename/rename_plan.h"
#include "rename/table_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 filesPerFolder = 100;

// A tree of `entries` empty files and its table, and the files as step 1
// lists them; empty when the tree cannot be made.
QList<NamingTableRow> makeTable(const QString &root, qint64 entries, ListedEntries &listed)
{
    QList<NamingTableRow> rows;
    rows.reserve(entries);
    for (qint64 i = 0; i < entries; ++i) {
        const QString folder = QStringLiteral("%1/d%2/").arg(root).arg(i / filesPerFolder);
        if (i % filesPerFolder == 0 && !QDir().mkpath(folder))
            return {};
        const QString name = QStringLiteral("f%1.dwg").arg(i);
        const int file = ::open(QFile::encodeName(folder + name).constData(), O_CREAT | O_WRONLY, 0644);
        struct stat status {};
        if (file < 0 || fstat(file, &status) != 0)
            return {};
        ::close(file);
        listed.add(folder, name, {quint64(status.st_dev), quint64(status.st_ino)});
        rows.append({i + 2, folder, name, QStringLiteral("g%1.dwg").arg(i)});
    }
    listed.sort();
    return rows;
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e9;
}

long peakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool timeSize(const QString &scratch, qint64 entries, int rounds)
{
    QTemporaryDir tree(scratch + QStringLiteral("/tree-XXXXXX"));
    ListedEntries listed;
    const QList<NamingTableRow> rows = makeTable(tree.path(), entries, listed);
    if (rows.size() != entries) {
        std::printf("the tree of %lld files could not be made\n", static_cast<long long>(entries));
        return false;
    }
    const QString records = scratch + QStringLiteral("/records");
    double plan = 0;
    double check = 0;
    qsizetype willRename = 0;
    for (int round = 0; round < rounds; ++round) {
        const double planned = secondsOf([&] { (void)planNamingTableRenames(rows, QString()); });
        const double checked = secondsOf([&] { willRename = checkNamingTable(rows, QString(), records, &listed).willRename; });
        plan = round == 0 ? planned : std::min(plan, planned);
        check = round == 0 ? checked : std::min(check, checked);
    }
    if (willRename != entries) {
        std::printf("the check passed %lld of %lld clean rows\n", static_cast<long long>(willRename),
                    static_cast<long long>(entries));
        return false;
    }
    // The check plans the rows as step 3 does, and step 3 takes that plan
    // rather than plan again: its own part is what it adds to the plan.
    const double target = 0.3 * std::max(1.0, double(entries) / 100000.0);
    const double own = check - plan;
    std::printf("check %8lld rows | best of %d: the plan alone %7.3f s, the check %7.3f s = %5.2f x;"
                " the check's own part %7.3f s (target at most %.1f s: %s) | peak memory %ld MiB (target under 1024)\n",
                static_cast<long long>(entries), rounds, plan, check, check / plan, own, target,
                own <= target ? "met" : "missed", peakMemoryMiB());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<qint64> sizes{100000, 1000000};
    if (argc > 1) {
        sizes.clear();
        for (const QString &size : QString::fromLocal8Bit(argv[1]).split(u','))
            sizes << size.toLongLong();
    }
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir scratch;
    for (const qint64 entries : sizes) {
        if (entries <= 0 || !timeSize(scratch.path(), entries, rounds))
            return 1;
    }
    return 0;
}
