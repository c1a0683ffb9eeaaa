#include "search/folder_search.h"
#include "search/found_entries.h"
#include "tests/common/temp_tree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SearchResult {
    FoundEntries found;
    FolderSearchCounts counts;
};

SearchResult search(const QString &folder, const QString &pattern)
{
    SearchResult result;
    result.counts = searchFolderTree(folder, pattern, result.found);
    return result;
}

void makeSparseFile(const QString &path, std::uint64_t size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(qint64(size)));
}

// Names come back exactly as stored: no padding after them, nothing cut.
TEST(FolderSearch, ListsNamesExactlyWhateverTheirLength)
{
    TempTree tree;
    const QString longest(255, u'n');
    for (const QString &name : {QString("a"), QString("ab.c"), longest})
        tree.makeFile(name);
    QStringList names = search(tree.root(), "*.*").found.fileNames;
    names.sort();
    EXPECT_EQ(names, QStringList({"a", "ab.c", longest}));
}

TEST(FolderSearch, AddsTrailingSlashToStartFolderAndListsBareNames)
{
    TempTree tree;
    tree.makeFile("a.dwg", "1234");
    const SearchResult result = search(tree.root(), "*.dwg");
    EXPECT_EQ(result.found.folderPaths, QStringList{tree.root() + '/'});
    EXPECT_EQ(result.found.fileNames, QStringList{"a.dwg"});
    EXPECT_EQ(result.counts.totalSize, 4u);

    EXPECT_EQ(search(tree.root() + '/', "*.dwg").found.folderPaths, QStringList{tree.root() + '/'});
}

TEST(FolderSearch, EmptyTreeGivesNothing)
{
    TempTree tree;
    const SearchResult result = search(tree.root(), "*.*");
    EXPECT_EQ(result.counts.listedEntries, 0);
    EXPECT_EQ(result.counts.subfolders, 0);
    EXPECT_TRUE(result.found.fileNames.isEmpty());
    EXPECT_EQ(result.counts.totalSize, 0u);
}

TEST(FolderSearch, MissingFolderGivesNothing)
{
    TempTree tree;
    const SearchResult result = search(tree.path("not-there"), "*.*");
    EXPECT_EQ(result.counts.listedEntries, 0);
    EXPECT_EQ(result.counts.totalSize, 0u);
}

TEST(FolderSearch, AllPatternListsFoldersAndHiddenEntriesButNeverDotEntries)
{
    TempTree tree;
    tree.makeFile(".hidden", "xx");
    tree.makeFile("sub/inner.txt", "abc");
    tree.makeFolder("empty");
    const SearchResult result = search(tree.root(), "*.*");

    EXPECT_FALSE(result.found.fileNames.contains("."));
    EXPECT_FALSE(result.found.fileNames.contains(".."));
    EXPECT_EQ(QSet<QString>(result.found.fileNames.begin(), result.found.fileNames.end()),
              (QSet<QString>{".hidden", "sub", "empty", "inner.txt"}));
    EXPECT_EQ(result.counts.listedEntries, 4);
    EXPECT_EQ(result.counts.subfolders, 2);
    EXPECT_EQ(result.counts.listedFolders, 2);
    EXPECT_EQ(result.counts.totalSize, 5u) << "folders add nothing to the size";
}

TEST(FolderSearch, FolderWhoseNameMatchesIsListedCountedAndSearched)
{
    TempTree tree;
    tree.makeFile("x.doc/report.doc", "r");
    tree.makeFolder("other");
    const SearchResult result = search(tree.root(), "*.doc");

    EXPECT_EQ(result.found.fileNames, (QStringList{"x.doc", "report.doc"}));
    EXPECT_EQ(result.found.folderPaths, (QStringList{tree.root() + '/', tree.root() + "/x.doc/"}));
    EXPECT_EQ(result.counts.listedEntries, 2);
    EXPECT_EQ(result.counts.subfolders, 2);
    EXPECT_EQ(result.counts.listedFolders, 1);
}

TEST(FolderSearch, MatchesOnlyInSubfoldersNameTheSubfolderPaths)
{
    TempTree tree;
    tree.makeFile("top.txt");
    tree.makeFile("a/b/deep.dwg");
    const SearchResult result = search(tree.root(), "*.dwg");
    EXPECT_EQ(result.found.folderPaths, QStringList{tree.root() + "/a/b/"});
    EXPECT_EQ(result.found.fileNames, QStringList{"deep.dwg"});
    EXPECT_EQ(result.counts.subfolders, 2);
}

// Each folder's own matches come before anything below it, and each subtree
// is listed as one unbroken run.
TEST(FolderSearch, ListsDepthFirstWithEachFoldersOwnMatchesFirst)
{
    TempTree tree;
    for (const char *folder : {"", "a/", "a/x/", "b/", "c/", "c/y/", "c/y/z/"}) {
        tree.makeFile(QString(folder) + "1.dwg");
        tree.makeFile(QString(folder) + "2.dwg");
    }
    const SearchResult result = search(tree.root(), "*.dwg");
    const QStringList &folders = result.found.folderPaths;
    ASSERT_EQ(folders.size(), 14);
    EXPECT_EQ(folders.at(0), tree.root() + '/');
    EXPECT_EQ(folders.at(1), tree.root() + '/');

    for (const char *subtree : {"a/", "a/x/", "b/", "c/", "c/y/", "c/y/z/"}) {
        const QString prefix = tree.root() + '/' + subtree;
        QList<qsizetype> at;
        for (qsizetype i = 0; i < folders.size(); ++i)
            if (folders.at(i).startsWith(prefix))
                at << i;
        ASSERT_FALSE(at.isEmpty());
        EXPECT_EQ(at.last() - at.first() + 1, at.size()) << "subtree " << subtree << " is split";
        EXPECT_EQ(folders.at(at.first()), prefix) << "folder " << subtree << " lists its own files first";
    }
}

TEST(FolderSearch, SymbolicLinksAreListedButNeverFollowed)
{
    TempTree tree;
    tree.makeFile("real/file.txt", "12345");
    ASSERT_EQ(symlink("..", QFile::encodeName(tree.path("real/loop")).constData()), 0);
    ASSERT_EQ(symlink("file.txt", QFile::encodeName(tree.path("real/link.txt")).constData()), 0);

    const SearchResult result = search(tree.root(), "*.*");
    EXPECT_EQ(result.counts.subfolders, 1) << "only the real folder counts";
    EXPECT_EQ(result.counts.listedEntries, 4);
    EXPECT_EQ(result.counts.listedFolders, 1);
    EXPECT_TRUE(result.found.fileNames.contains("loop"));
    EXPECT_EQ(result.counts.totalSize, 5u) << "links add no size of their own";
    // What later tells an entry replaced since from the one listed.
    for (qsizetype i = 0; i < result.found.size(); ++i) {
        struct stat own {};
        ASSERT_EQ(lstat(QFile::encodeName(result.found.folderPaths[i] + result.found.fileNames[i]).constData(), &own), 0);
        EXPECT_EQ(result.found.ids[i].inode, own.st_ino) << "the entry itself, a link not followed";
        EXPECT_EQ(result.found.ids[i].device, own.st_dev);
    }
}

TEST(FolderSearch, SizesAreFullSixtyFourBitValues)
{
    TempTree tree;
    tree.makeFolder("big");
    const std::uint64_t fiveGiB = 5ull << 30, threeGiB = 3ull << 30;
    makeSparseFile(tree.path("big/five.bin"), fiveGiB);
    makeSparseFile(tree.path("big/three.bin"), threeGiB);
    EXPECT_EQ(search(tree.root(), "*.bin").counts.totalSize, fiveGiB + threeGiB);
}

TEST(FolderSearch, ChineseAndOddNamesComeBackExactly)
{
    TempTree tree;
    const QStringList names{"图纸 01.dwg", "-leading dash.dwg", "two  spaces.DWG", "new\nline.dwg", "semi;colon.dwg"};
    for (const QString &name : names)
        tree.makeFile("目录/" + name);
    const SearchResult result = search(tree.root(), "*.dwg");
    EXPECT_EQ(QSet<QString>(result.found.fileNames.begin(), result.found.fileNames.end()),
              QSet<QString>(names.begin(), names.end()));
    for (const QString &folder : result.found.folderPaths)
        EXPECT_EQ(folder, tree.root() + "/目录/");
}

} // namespace

// Asks the search to stop once it has handed over `limit` matches.
struct StoppingSink : FoundEntries {
    WorkControl &control;
    qsizetype limit;
    StoppingSink(WorkControl &scanControl, qsizetype stopAfter) : control(scanControl), limit(stopAfter) {}
    void append(const QString &folderPath, const QString &fileName, FoundEntryId id) override
    {
        FoundEntries::append(folderPath, fileName, id);
        if (size() == limit)
            control.requestStop();
    }
};

// A stop takes effect before the next entry is read, also between folders,
// and leaves the counts describing exactly what was handed over; a walk not
// stopped reports every folder it looked at, the start folder included.
TEST(FolderSearch, StopsBeforeTheNextEntryOnceAskedAndSaysSo)
{
    TempTree tree;
    for (const char *path : {"1.dwg", "2.dwg", "a/3.dwg", "a/4.dwg", "b/5.dwg"})
        tree.makeFile(path);
    struct Case {
        qsizetype stopAfter;
        qint64 found;
        bool cancelled;
    };
    for (const Case &row : {Case{0, 0, true}, Case{1, 1, true}, Case{2, 2, true}, Case{4, 4, true}, Case{9, 5, false}}) {
        SCOPED_TRACE(row.stopAfter);
        WorkControl control;
        std::atomic<std::int64_t> foldersSeen = 0;
        if (row.stopAfter == 0)
            control.requestStop();
        StoppingSink sink(control, row.stopAfter);
        const FolderSearchCounts counts = searchFolderTree(tree.root(), "*.dwg", sink, &control, &foldersSeen);
        EXPECT_EQ(sink.size(), row.found);
        EXPECT_EQ(counts.listedEntries, row.found);
        EXPECT_EQ(counts.cancelled, row.cancelled);
        EXPECT_EQ(control.done(), row.found);
        if (!row.cancelled) {
            EXPECT_EQ(foldersSeen, counts.subfolders + 1);
        }
    }
}
