#include "directory_scan.h"
#include "found_entry_list.h"
#include "temp_tree.h"

#include <gtest/gtest.h>

namespace {

TEST(ScanReport, HasFourLinesWithTheSizeAloneOnTheLast)
{
    const ScanSummary summary{9, 3, 987};
    EXPECT_EQ(scanReportText(summary, QLocale::c()),
              QString("查找到的文件数：9\r\n查找的目录数：3\r\n文件大小总共为：\r\n987字节"));
}

TEST(ScanReport, GroupsTheSizeWithTheLocaleSeparator)
{
    EXPECT_EQ(scanReportText({0, 0, 1234567}, QLocale::c()).split("\r\n").last(), QString("1,234,567字节"));
    EXPECT_EQ(scanReportText({0, 0, 1234567}, QLocale(QLocale::German)).split("\r\n").last(),
              QString("1.234.567字节"));
    EXPECT_EQ(scanReportText({0, 0, 0}, QLocale::c()).split("\r\n").last(), QString("0字节"));
}

TEST(ScanReport, GroupedDigitsPlacesSeparatorsEveryThreeDigits)
{
    EXPECT_EQ(groupedDigits(0, ","), "0");
    EXPECT_EQ(groupedDigits(999, ","), "999");
    EXPECT_EQ(groupedDigits(1000, ","), "1,000");
    EXPECT_EQ(groupedDigits(100000, ","), "100,000");
    EXPECT_EQ(groupedDigits(18446744073709551615ull, ","), "18,446,744,073,709,551,615");
}

// The file figure counts the listed entries that are not folders, so it can
// never go negative when unmatched folders outnumber the matches.
TEST(ScanFolder, FileFigureCountsListedNonFolders)
{
    TempTree tree;
    for (int i = 0; i < 5; ++i)
        tree.makeFile(QString("f%1/file%1.doc").arg(i));
    for (int i = 5; i < 8; ++i)
        tree.makeFolder(QString("f%1").arg(i));
    FoundEntryList found;
    const ScanSummary doc = scanFolder(tree.root(), "*.doc", found);
    EXPECT_EQ(doc.fileFigure, 5);
    EXPECT_EQ(doc.DirCount, 8);

    FoundEntryList all;
    const ScanSummary every = scanFolder(tree.root(), "*.*", all);
    EXPECT_EQ(every.fileFigure, 5);
    EXPECT_EQ(all.fileNames.size(), 13);
}

TEST(ScanFolder, StartFolderIsNotCounted)
{
    TempTree tree;
    tree.makeFolder("one");
    tree.makeFolder("two");
    FoundEntryList found;
    const ScanSummary summary = scanFolder(tree.root(), "*.dwg", found);
    EXPECT_EQ(summary.DirCount, 2);
    EXPECT_EQ(summary.fileFigure, 0);
    EXPECT_EQ(summary.totalSize, 0u);
}

} // namespace
