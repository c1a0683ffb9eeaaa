// Step 1 and the renames of step 3 on trees that fight back: folders that
// vanish mid-scan, entries the user may not read, trees deeper than any path
// can reach, names at the length limit and names that are not UTF-8. Nothing
// may crash or hang, and a row that cannot be renamed must leave its file
// exactly as it was.
#include "search/directory_scan.h"
#include "search/folder_search.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Lists like step 1 and lets the test act on the tree the moment the first
// entry arrives, while the walk is under way.
class InterferingList : public FoundEntries {
public:
    std::function<void()> onFirstEntry;
    void append(const QString &folderPath, const QString &fileName, FoundEntryId id) override
    {
        if (onFirstEntry)
            std::exchange(onFirstEntry, nullptr)();
        FoundEntries::append(folderPath, fileName, id);
    }
};

QStringList fullPaths(const FoundEntries &found)
{
    QStringList paths;
    for (qsizetype i = 0; i < found.fileNames.size(); ++i)
        paths << found.folderPaths[i] + found.fileNames[i];
    return paths;
}

// Step 1's scan, keeping what it found in `found`.
ScanSummary scanInto(const QString &folder, const QString &pattern, FoundEntries &found)
{
    ScanResult result = scanFolder(folder, pattern);
    found = std::move(result.entries);
    return result.summary;
}

QStringList relativeTo(const QString &root, QStringList paths)
{
    for (QString &path : paths)
        path.remove(0, root.size() + 1);
    paths.sort();
    return paths;
}

struct VanishCase {
    const char *name;
    const char *removed; // relative to the start folder; "" is the start folder itself
    QStringList listed;
};

void PrintTo(const VanishCase &param, std::ostream *out) { *out << param.name; }

class VanishingFolder : public ::testing::TestWithParam<VanishCase> {};

TEST_P(VanishingFolder, FolderRemovedDuringTheScanIsSkipped)
{
    TempTree tree;
    tree.makeFile("top/a.txt", "a");
    tree.makeFile("top/keep/k.txt", "k");
    tree.makeFile("top/gone/deep/g.txt", "g");
    const QString top = tree.path("top");
    InterferingList found;
    found.onFirstEntry = [&] { ASSERT_TRUE(QDir(top + "/" + GetParam().removed).removeRecursively()); };

    const FolderSearchCounts counts = searchFolderTree(top, "*.*", found);

    EXPECT_EQ(relativeTo(top, fullPaths(found)), GetParam().listed);
    EXPECT_EQ(found.folderPaths.size(), found.fileNames.size());
    EXPECT_LE(counts.totalSize, 3u);
}

// The start folder's own entries were read before anything was removed, so
// they are listed; what lay below the removed folder is not.
INSTANTIATE_TEST_SUITE_P(
    , VanishingFolder,
    ::testing::Values(VanishCase{"SubfolderNotYetSearched", "gone", {"a.txt", "gone", "keep", "keep/k.txt"}},
                      VanishCase{"StartFolderItself", "", {"a.txt", "gone", "keep"}}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(ChurningTree, FoldersComingAndGoingWhileScanningNeverBreakTheWalk)
{
    TempTree tree;
    for (int i = 0; i < 30; ++i)
        tree.makeFile(QString("churn/f%1/g/file.txt").arg(i), "x");
    std::atomic<bool> done = false;
    std::thread churn([&] {
        for (int round = 0; !done; ++round) {
            const QString folder = tree.path(QString("churn/f%1").arg(round % 30));
            QDir(folder).removeRecursively();
            tree.makeFile(QString("churn/f%1/g/file.txt").arg(round % 30), "x");
        }
    });
    for (int scan = 0; scan < 50; ++scan) {
        const FoundEntries found = scanFolder(tree.path("churn"), "*.*").entries;
        EXPECT_EQ(found.folderPaths.size(), found.fileNames.size());
    }
    done = true;
    churn.join();
}

// Root reads everything whatever the permission bits say, so the scan and the
// renames run on a thread whose file-system identity is "nobody", for which
// the bits count again. The rest of the process stays root.
template <typename Work>
void asUnprivileged(Work work)
{
    if (geteuid() != 0) {
        work();
        return;
    }
    std::thread thread([&] {
        setfsgid(65534);
        setfsuid(65534);
        work();
        setfsuid(0);
        setfsgid(0);
    });
    thread.join();
}

TEST(UnreadableEntries, AreListedByNameOnlyAndTheirRowsFailWithoutChanges)
{
    TempTree tree;
    tree.makeFile("open/a.txt", "aaaa");
    tree.makeFile("locked/inside.txt", "never seen");
    tree.makeFile("listable/x.txt", "xx");
    tree.makeFile("secret.txt", "12345");
    tree.makeFile("shared/s.txt", "s");
    const auto mode = [&](const char *relative, mode_t bits) {
        ASSERT_EQ(chmod(QFile::encodeName(tree.path(relative)).constData(), bits), 0);
    };
    mode("", 0755);
    mode("locked", 0);          // neither readable nor searchable
    mode("listable", 0644);     // names readable, entries not reachable
    mode("secret.txt", 0);
    mode("shared", 0777);
    mode("shared/s.txt", 0666);

    FoundEntries found;
    ScanSummary summary;
    asUnprivileged([&] { summary = scanInto(tree.root(), "*.*", found); });

    EXPECT_EQ(relativeTo(tree.root(), fullPaths(found)),
              QStringList({"listable", "listable/x.txt", "locked", "open", "open/a.txt", "secret.txt", "shared",
                           "shared/s.txt"}));
    EXPECT_EQ(summary.folderCount, 4);
    // x.txt cannot be sized through a folder that cannot be searched.
    EXPECT_EQ(summary.totalSize, 4u + 5u + 1u);

    const QString root = tree.root() + "/";
    QList<RowOutcome> outcomes;
    asUnprivileged([&] {
        outcomes = carryOutNamingTable({{2, root + "listable/", "x.txt", "y.txt"},
                                          {3, root + "locked/", "inside.txt", "out.txt"},
                                          {4, root, "secret.txt", "public.txt"},
                                          {5, root + "shared/", "s.txt", "t.txt"}});
    });

    ASSERT_EQ(outcomes.size(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(outcomes[i].status(), RowStatus::FailedRename) << "row " << outcomes[i].rowNumber;
        EXPECT_EQ(outcomes[i].error(), RenameError::PermissionDenied) << "row " << outcomes[i].rowNumber;
    }
    EXPECT_EQ(outcomes[3].status(), RowStatus::Renamed);
    for (const char *kept : {"listable/x.txt", "locked/inside.txt", "secret.txt", "shared/t.txt"})
        EXPECT_TRUE(QFile::exists(tree.path(kept))) << kept;
}

// A chain of folders made relative to one another, so its depth is not bound
// by the length of a path; removed with `rm`, which copes with that too.
class DeepTree {
public:
    DeepTree(const QString &root, const QByteArray &levelName, int levels) : top(root + "/deep")
    {
        int folder = open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
        const QByteArray first = "deep";
        for (int level = 0; level <= levels && folder >= 0; ++level) {
            const QByteArray name = level == 0 ? first : levelName;
            mkdirat(folder, name.constData(), 0755);
            const int inner = openat(folder, name.constData(), O_RDONLY | O_DIRECTORY);
            close(folder);
            folder = inner;
            if (folder >= 0)
                close(openat(folder, "f.txt", O_WRONLY | O_CREAT, 0644));
        }
        made = folder >= 0;
        if (folder >= 0)
            close(folder);
    }
    ~DeepTree() { QProcess::execute("rm", {"-rf", top}); }

    const QString top;
    bool made = false;
};

struct DepthCase {
    const char *name;
    QByteArray levelName;
    bool reachesBottom;
};

void PrintTo(const DepthCase &param, std::ostream *out) { *out << param.name; }

class DeepTrees : public ::testing::TestWithParam<DepthCase> {};

// Folders whose paths would pass the system's limit cannot be opened, and no
// row of step 3 could name them, so the scan stops there, quickly and without
// running out of stack.
TEST_P(DeepTrees, ElevenHundredLevelsAreWalkedUpToThePathLimit)
{
    constexpr int levels = 1100;
    TempTree tree;
    DeepTree deep(tree.root(), GetParam().levelName, levels);
    ASSERT_TRUE(deep.made);

    FoundEntries found;
    QElapsedTimer timer;
    timer.start();
    const ScanSummary summary = scanInto(deep.top, "*.txt", found);
    EXPECT_LT(timer.elapsed(), 20000);

    ASSERT_FALSE(found.fileNames.isEmpty());
    for (const QString &folder : found.folderPaths)
        ASSERT_LT(QFile::encodeName(folder).size(), PATH_MAX);
    EXPECT_EQ(found.fileNames.size() == levels + 1, GetParam().reachesBottom);
    EXPECT_GE(summary.folderCount, found.fileNames.size() - 1);

    // The deepest listed file may lie just past the limit, in a folder that
    // could still be listed: its row fails and the file stays.
    const qsizetype last = found.fileNames.size() - 1;
    const bool fits = QFile::encodeName(found.folderPaths[last] + "g.txt").size() < PATH_MAX;
    const auto outcomes = carryOutNamingTable({{2, found.folderPaths[last], "f.txt", "g.txt"}});
    EXPECT_EQ(outcomes[0].status(), fits ? RowStatus::Renamed : RowStatus::FailedRename);
    if (!fits) {
        EXPECT_EQ(outcomes[0].error(), RenameError::InvalidName);
    }
}

INSTANTIATE_TEST_SUITE_P(, DeepTrees,
                         ::testing::Values(DepthCase{"ShortNamesFitTheLimit", "d", true},
                                           DepthCase{"LongNamesPassTheLimit", "level", false}),
                         [](const auto &test) { return std::string(test.param.name); });

TEST(NameLimits, NamesOf255BytesAreListedAndRenamedAndOneByteMoreIsRefused)
{
    TempTree tree;
    const QString ascii(255, u'n');
    const QString chinese = QString(85, QChar(0x540D)); // 名, three bytes each in UTF-8
    ASSERT_EQ(QFile::encodeName(chinese).size(), 255);
    tree.makeFile(ascii, "ascii");
    tree.makeFile(chinese, "chinese");

    const FoundEntries found = scanFolder(tree.root(), "*").entries;
    QStringList names = found.fileNames;
    names.sort();
    EXPECT_EQ(names, QStringList({ascii, chinese}));

    const QString folder = tree.root() + "/";
    const auto outcomes = carryOutNamingTable(
        {{2, folder, ascii, QString(255, u'm')}, {3, folder, chinese, chinese + "x"}});
    EXPECT_EQ(outcomes[0].status(), RowStatus::Renamed);
    EXPECT_EQ(outcomes[1].status(), RowStatus::FailedRename);
    EXPECT_EQ(outcomes[1].error(), RenameError::NameTooLong);
    EXPECT_TRUE(QFile::exists(tree.path(QString(255, u'm'))));
    EXPECT_TRUE(QFile::exists(tree.path(chinese)));
}

// Such names show with replacement characters, which name no file on disk:
// their rows must fail and leave the files alone, the valid ones still rename.
TEST(NonUtf8Names, AreListedAndTheirRowsFailCleanly)
{
    TempTree tree;
    const QByteArray root = QFile::encodeName(tree.root()) + "/";
    for (const QByteArray &folder : {QByteArray("\xff\xfe"), QByteArray("plain")})
        ASSERT_EQ(mkdir(root + folder, 0755), 0);
    for (const QByteArray &file : {QByteArray("caf\xe9.dwg"), QByteArray("\xff\xfe/a.dwg"), QByteArray("plain/ok.dwg")})
        close(open(root + file, O_WRONLY | O_CREAT, 0644));

    FoundEntries found;
    const ScanSummary summary = scanInto(tree.root(), "*.dwg", found);
    ASSERT_EQ(found.fileNames.size(), 3);
    EXPECT_EQ(summary.folderCount, 2);

    QList<NamingTableRow> rows;
    for (qsizetype i = 0; i < found.fileNames.size(); ++i)
        rows.append({i + 2, found.folderPaths[i], found.fileNames[i], QString("renamed%1.dwg").arg(i)});
    const auto outcomes = carryOutNamingTable(rows);

    for (const RowOutcome &outcome : outcomes) {
        const bool valid = !found.folderPaths[outcome.rowNumber - 2].contains(QChar::ReplacementCharacter)
            && !outcome.oldName.contains(QChar::ReplacementCharacter);
        EXPECT_EQ(outcome.status(), valid ? RowStatus::Renamed : RowStatus::FailedRename) << outcome.rowNumber;
        EXPECT_FALSE(outcome.failed() && outcome.problem == RowProblem::None);
    }
    for (const QByteArray &file : {QByteArray("caf\xe9.dwg"), QByteArray("\xff\xfe/a.dwg")})
        EXPECT_EQ(access(root + file, F_OK), 0) << "untouched";
    // Qt cannot name these entries to remove them.
    QProcess::execute("rm", {"-rf", tree.root()});
}

} // namespace
