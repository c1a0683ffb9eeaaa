#include "rename/invisible_characters.h"

#include <algorithm>
#include <iterator>

namespace {

struct CodeRange {
    char32_t first;
    char32_t last;
};

// DerivedCoreProperties.txt's Default_Ignorable_Code_Point, in order. The
// property is kept stable from version to version: code points not yet given
// a character (U+2065, U+FFF0..U+FFF8, most of U+E0000..U+E0FFF) are in it
// already.
constexpr CodeRange defaultIgnorable[] = {
    {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C},   {0x115F, 0x1160}, {0x17B4, 0x17B5},
    {0x180B, 0x180F},   {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x206F}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool isDefaultIgnorable(char32_t c)
{
    const auto *after = std::upper_bound(std::begin(defaultIgnorable), std::end(defaultIgnorable), c,
                                         [](char32_t code, const CodeRange &range) { return code < range.first; });
    return after != std::begin(defaultIgnorable) && c <= std::prev(after)->last;
}

} // namespace

bool showsNothing(char32_t c)
{
    return c == 0x2028 || c == 0x2029 || isDefaultIgnorable(c);
}

bool isBlankSymbol(char32_t c)
{
    return c == 0x2800;
}
