#include "steps/scan_step.h"

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

} // namespace
