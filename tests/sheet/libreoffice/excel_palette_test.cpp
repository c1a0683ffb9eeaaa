#include "sheet/libreoffice/excel_palette.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct IndexCase {
    const char *title;
    int index;
    std::optional<std::int32_t> colour;
};

void PrintTo(const IndexCase &param, std::ostream *out) { *out << param.title; }

class PaletteColor : public ::testing::TestWithParam<IndexCase> {};

TEST_P(PaletteColor, IsTheExcel97DefaultForIndexesOneToFiftySix)
{
    EXPECT_EQ(excelPaletteColor(GetParam().index), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(, PaletteColor,
                         ::testing::Values(IndexCase{"First", 1, 0x000000}, IndexCase{"LightGreen", 35, 0xCCFFCC},
                                           IndexCase{"Last", 56, 0x333333}, IndexCase{"Zero", 0, std::nullopt},
                                           IndexCase{"OneTooMany", 57, std::nullopt},
                                           IndexCase{"Negative", -1, std::nullopt},
                                           IndexCase{"Smallest", INT_MIN, std::nullopt}),
                         [](const auto &test) { return std::string(test.param.title); });

struct ColourCase {
    const char *title;
    std::int32_t colour;
    int index;
};

void PrintTo(const ColourCase &param, std::ostream *out) { *out << param.title; }

class PaletteIndex : public ::testing::TestWithParam<ColourCase> {};

TEST_P(PaletteIndex, IsTheFirstEntryHoldingTheColour)
{
    EXPECT_EQ(excelPaletteIndex(GetParam().colour), GetParam().index);
}

// The office reports "no colour chosen" as -1; it must not read as a palette entry.
INSTANTIATE_TEST_SUITE_P(, PaletteIndex,
                         ::testing::Values(ColourCase{"Black", 0x000000, 1}, ColourCase{"LightGreen", 0xCCFFCC, 35},
                                           ColourCase{"LastEntry", 0x333333, 56},
                                           ColourCase{"NavyStandsAt11And25", 0x000080, 11},
                                           ColourCase{"PlumStandsAt18And54", 0x993366, 18},
                                           ColourCase{"OutsideThePalette", 0xCCFFCD, -1},
                                           ColourCase{"AutomaticColour", -1, -1},
                                           ColourCase{"BeyondRgb", 0x01CCFFCC, -1}),
                         [](const auto &test) { return std::string(test.param.title); });

} // namespace
