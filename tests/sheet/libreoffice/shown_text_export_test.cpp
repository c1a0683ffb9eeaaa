#include "sheet/libreoffice/shown_text_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// The file as the office writes it: UTF-16 in this machine's byte order.
QByteArray exportedFile(std::u16string_view units)
{
    return QByteArray(reinterpret_cast<const char *>(units.data()), qsizetype(units.size() * sizeof(char16_t)));
}

// Unlike QString::fromUtf16, keeps a leading U+FEFF.
CellText text(std::u16string_view units)
{
    return QString(reinterpret_cast<const QChar *>(units.data()), qsizetype(units.size()));
}

// One line per row, cells between '|', "#" for an unreadable cell and every
// code unit outside printable ASCII as \uXXXX, so a failure shows what differs.
std::string shown(const CellTextRows &rows)
{
    std::string out;
    for (const QList<CellText> &row : rows) {
        for (const CellText &cell : row) {
            out += '|';
            if (!cell) {
                out += '#';
                continue;
            }
            for (const QChar unit : *cell) {
                if (unit.unicode() >= 0x20 && unit.unicode() < 0x7F) {
                    out += char(unit.unicode());
                } else {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(unit.unicode()));
                    out += escaped;
                }
            }
        }
        out += "|\n";
    }
    return out;
}

struct ExportCase {
    const char *title;
    std::u16string file;
    CellRect rect;
    QList<CellRect> errors;
    CellTextRows cells;
};

void PrintTo(const ExportCase &param, std::ostream *out) { *out << param.title; }

class ShownTextExport : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ShownTextExport, ReadsTheCellsOfTheRectangle)
{
    const ExportCase &row = GetParam();
    EXPECT_EQ(shown(cellsFromSheetText(utf16Text(exportedFile(row.file)), row.rect, row.errors)), shown(row.cells));
}

const CellText unreadable;
const std::u16string threeByThree = u"a\tb\tc\nd\te\tf\ng\th\ti\n";

INSTANTIATE_TEST_SUITE_P(
    , ShownTextExport,
    ::testing::Values(
        ExportCase{"PlainCells", threeByThree, {1, 1, 3, 3}, {}, {{"a", "b", "c"}, {"d", "e", "f"}, {"g", "h", "i"}}},
        ExportCase{"InnerRectangle", threeByThree, {2, 2, 3, 3}, {}, {{"e", "f"}, {"h", "i"}}},
        ExportCase{"ByteOrderMarkDropped", u"\uFEFFa\tb\n", {1, 1, 1, 2}, {}, {{"a", "b"}}},
        ExportCase{"ByteOrderMarkInsideACellKept", u"a\t\uFEFFb\n", {1, 1, 1, 2}, {}, {{"a", text(u"\uFEFFb")}}},
        ExportCase{"QuotedCellWithDoubledQuotes", u"\"say \"\"hi\"\"\"\tx\n", {1, 1, 1, 2}, {}, {{"say \"hi\"", "x"}}},
        ExportCase{"TabAndLineFeedInsideQuotes", u"\"a\tb\nc\"\td\ne\tf\n", {1, 1, 2, 2}, {}, {{"a\tb\nc", "d"}, {"e", "f"}}},
        ExportCase{"LoneCarriageReturnInsideQuotes", u"\"a\rb\"\tc\n", {1, 1, 1, 2}, {}, {{"a\rb", "c"}}},
        ExportCase{"QuoteInsideAnUnquotedCellIsText", u"5\" disk\t\"\"\n", {1, 1, 1, 2}, {}, {{"5\" disk", ""}}},
        ExportCase{"LastRowWithoutLineFeed", u"a\nb\tc", {1, 1, 2, 2}, {}, {{"a", ""}, {"b", "c"}}},
        ExportCase{"MissingRowsAndCellsReadEmpty", u"a\n\tb\n", {1, 1, 4, 3}, {},
                   {{"a", "", ""}, {"", "b", ""}, {"", "", ""}, {"", "", ""}}},
        ExportCase{"EmptySheet", u"", {2, 2, 3, 3}, {}, {{"", ""}, {"", ""}}},
        ExportCase{"LoneSurrogateKept", u"x\xD800\t\xDFFF" u"y\n", {1, 1, 1, 2}, {}, {{text(u"x\xD800"), text(u"\xDFFFy")}}},
        ExportCase{"ErrorCellsUnreadable", u"1\t#N/A\n#DIV/0!\t4\n", {1, 1, 2, 2}, {{1, 2, 1, 2}, {2, 1, 2, 1}},
                   {{"1", unreadable}, {unreadable, "4"}}},
        ExportCase{"ErrorRectanglesClippedToTheRectangle", threeByThree, {1, 1, 3, 3}, {{2, 2, 50, 50}, {7, 1, 9, 3}},
                   {{"a", "b", "c"}, {"d", unreadable, unreadable}, {"g", unreadable, unreadable}}},
        ExportCase{"ErrorCellBeyondTheExportedText", u"a\n", {1, 1, 2, 2}, {{2, 2, 2, 2}}, {{"a", ""}, {"", unreadable}}}),
    [](const auto &info) { return std::string(info.param.title); });

} // namespace
