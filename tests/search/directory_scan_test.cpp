#include "search/directory_scan.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

namespace {

// The file figure counts the listed entries that are not folders, so it can
// never go negative when unmatched folders outnumber the matches.
TEST(ScanFolder, FileFigureCountsListedNonFolders)
{
    TempTree tree;
    for (int i = 0; i < 5; ++i)
        tree.makeFile(QString("f%1/file%1.doc").arg(i));
    for (int i = 5; i < 8; ++i)
        tree.makeFolder(QString("f%1").arg(i));
    const ScanSummary doc = scanFolder(tree.root(), "*.doc").summary;
    EXPECT_EQ(doc.fileCount, 5);
    EXPECT_EQ(doc.folderCount, 8);

    const ScanResult every = scanFolder(tree.root(), "*.*");
    EXPECT_EQ(every.summary.fileCount, 5);
    EXPECT_EQ(every.entries.size(), 13);
}

TEST(ScanFolder, StartFolderIsNotCounted)
{
    TempTree tree;
    tree.makeFolder("one");
    tree.makeFolder("two");
    const ScanSummary summary = scanFolder(tree.root(), "*.dwg").summary;
    EXPECT_EQ(summary.folderCount, 2);
    EXPECT_EQ(summary.fileCount, 0);
    EXPECT_EQ(summary.totalSize, 0u);
}

} // namespace
