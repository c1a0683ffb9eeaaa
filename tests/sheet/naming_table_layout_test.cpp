#include "sheet/naming_table_layout.h"

#include <gtest/gtest.h>

namespace {

struct BandingCase {
    const char *title;
    QList<CellText> folders; // column B from the first data row down
    QList<QPair<qint64, qint64>> shadedRows;
};

void PrintTo(const BandingCase &param, std::ostream *out) { *out << param.title; }

class Banding : public ::testing::TestWithParam<BandingCase> {};

TEST_P(Banding, ShadesEverySecondGroupOfEqualFolders)
{
    QList<CellRect> expected;
    for (const auto &[top, bottom] : GetParam().shadedRows)
        expected.append({top, 1, bottom, 5});
    const QList<CellRect> shaded = NamingTable::shadedGroups(GetParam().folders, 5);
    ASSERT_EQ(shaded.size(), expected.size());
    for (qsizetype i = 0; i < shaded.size(); ++i) {
        EXPECT_EQ(shaded[i].top, expected[i].top);
        EXPECT_EQ(shaded[i].bottom, expected[i].bottom);
        EXPECT_EQ(shaded[i].left, 1);
        EXPECT_EQ(shaded[i].right, 5);
    }
}

const CellText unreadable;

INSTANTIATE_TEST_SUITE_P(
    , Banding,
    ::testing::Values(BandingCase{"NoRows", {}, {}}, BandingCase{"OneFolder", {"/a/", "/a/", "/a/"}, {}},
                      BandingCase{"XXYZZ", {"/x/", "/x/", "/y/", "/z/", "/z/"}, {{4, 4}}},
                      BandingCase{"LetterCaseDiffers", {"/a/", "/A/", "/a/", "/b/"}, {{3, 3}, {5, 5}}},
                      BandingCase{"UnreadableCellsGroupTogether", {"/a/", unreadable, unreadable, "/a/"}, {{3, 4}}},
                      BandingCase{"TrailingEmptyRowsStayInTheLastGroup", {"/a/", "/b/", "", ""}, {{3, 3}}}),
    [](const auto &test) { return std::string(test.param.title); });

} // namespace
