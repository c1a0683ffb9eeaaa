#include "sheet/libreoffice/shown_text_export.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// The file as the office writes it: UTF-16 in this machine's byte order.
QByteArray exportedFile(std::u16string_view units)
{
    return QByteArray(reinterpret_cast<const char *>(units.data()), qsizetype(units.size() * sizeof(char16_t)));
}

std::optional<QString> utf16Text(QByteArray bytes)
{
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    return utf16Text(file);
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
    SheetTextFacts facts;
    CellTextRows cells;
};

void PrintTo(const ExportCase &param, std::ostream *out) { *out << param.title; }

class ShownTextExport : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ShownTextExport, ReadsTheCellsOfTheRectangle)
{
    const ExportCase &row = GetParam();
    const std::optional<QString> text = utf16Text(exportedFile(row.file));
    ASSERT_TRUE(text.has_value());
    const SheetResult<CellTextRows> cells = cellsFromSheetText(*text, row.rect, row.facts);
    ASSERT_TRUE(cells.ok()) << int(cells.error().kind);
    EXPECT_EQ(shown(cells.value()), shown(row.cells));
}

// A copy that the office could not finish, say on a full disk, must not pass
// for a shorter table, nor its last cell for a whole name.
TEST(ShownTextExportCut, FailsRatherThanReadAPart)
{
    EXPECT_FALSE(utf16Text(QByteArray("\xFF\xFE" "a\x00\n", 5)).has_value());
    const CellRect rect{1, 1, 3, 2};
    for (const std::u16string &file : {std::u16string(u"a\tb\nc\tren"), std::u16string(u"a\tb\n\"c\nd"),
                                       std::u16string(u"a\tb\n\"c\"")}) {
        const SheetResult<CellTextRows> cells = cellsFromSheetText(*utf16Text(exportedFile(file)), rect, {{}, {}, 2});
        EXPECT_FALSE(cells.ok());
        EXPECT_EQ(cells.error().kind, SheetFailureKind::TextCopyBrokenOff);
        EXPECT_EQ(cells.error().numbers, QList<qint64>{2}) << "broken off in row 2";
    }
    const SheetResult<CellTextRows> stopped = cellsFromSheetText(QStringLiteral("a\tb\n"), rect, {{}, {}, 3});
    EXPECT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error().kind, SheetFailureKind::TextCopyShort);
    EXPECT_EQ(stopped.error().numbers.value(0), 1) << "it holds row 1 only";
}

// A folder repeats down the hundreds of rows of its entries: a table of a
// million rows must not hold it a million times.
TEST(ShownTextExportMemory, ACellRepeatingTheOneAboveSharesItsText)
{
    const SheetResult<CellTextRows> cells =
        cellsFromSheetText(QStringLiteral("/f/\ta\n/f/\tb\n\"/f/\"\tc\n/g/\t\n/g/\td\n"), {1, 1, 5, 2}, {{}, {}, 5});
    ASSERT_TRUE(cells.ok()) << int(cells.error().kind);
    const CellTextRows &rows = cells.value();
    EXPECT_EQ(shown(rows), "|/f/|a|\n|/f/|b|\n|/f/|c|\n|/g/||\n|/g/|d|\n");
    EXPECT_EQ(rows[1][0]->constData(), rows[0][0]->constData());
    EXPECT_EQ(rows[2][0]->constData(), rows[0][0]->constData()) << "a quoted repeat shares too";
    EXPECT_EQ(rows[4][0]->constData(), rows[3][0]->constData());
    EXPECT_NE(rows[3][0]->constData(), rows[0][0]->constData());
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
        ExportCase{"QuotedPartsAndPlainTextInOneCell", u"\"a\"b\tc\n", {1, 1, 1, 2}, {}, {{"ab", "c"}}},
        ExportCase{"QuoteInsideAnUnquotedCellIsText", u"5\" disk\t\"\"\n", {1, 1, 1, 2}, {}, {{"5\" disk", ""}}},
        ExportCase{"MissingRowsAndCellsReadEmpty", u"a\n\tb\n", {1, 1, 4, 3}, {},
                   {{"a", "", ""}, {"", "b", ""}, {"", "", ""}, {"", "", ""}}},
        ExportCase{"EmptySheet", u"", {2, 2, 3, 3}, {}, {{"", ""}, {"", ""}}},
        ExportCase{"LoneSurrogateKept", u"x\xD800\t\xDFFF" u"y\n", {1, 1, 1, 2}, {}, {{text(u"x\xD800"), text(u"\xDFFFy")}}},
        ExportCase{"ErrorCellsUnreadable", u"1\t#N/A\n#DIV/0!\t4\n", {1, 1, 2, 2}, {{{1, 2, 1, 2}, {2, 1, 2, 1}}, {}, 0},
                   {{"1", unreadable}, {unreadable, "4"}}},
        ExportCase{"ErrorRectanglesClippedToTheRectangle", threeByThree, {1, 1, 3, 3}, {{{2, 2, 50, 50}, {7, 1, 9, 3}}, {}, 0},
                   {{"a", "b", "c"}, {"d", unreadable, unreadable}, {"g", unreadable, unreadable}}},
        ExportCase{"ErrorCellBeyondTheExportedText", u"a\n", {1, 1, 2, 2}, {{{2, 2, 2, 2}}, {}, 0}, {{"a", ""}, {"", unreadable}}},
        // A merged area shows its top-left cell only, even over an error.
        ExportCase{"CoveredCellsReadEmpty", threeByThree, {1, 1, 3, 3}, {{{2, 2, 2, 2}}, {{1, 2, 2, 3}}, 3},
                   {{"a", "", ""}, {"d", "", ""}, {"g", "h", "i"}}},
        ExportCase{"ContentReachedExactly", threeByThree, {2, 1, 3, 1}, {{}, {}, 3}, {{"d"}, {"g"}}}),
    [](const auto &test) { return std::string(test.param.title); });

} // namespace
