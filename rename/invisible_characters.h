#pragma once

// Characters a name may hold without anything showing where they stand.

// Unicode's Default_Ignorable_Code_Point: characters a text is shown as if
// they were not there (U+034F, U+3164, the variation selectors, the tags and
// the code points kept for more of them), or U+2028 and U+2029, which only
// break the line.
bool showsNothing(char32_t c);

// A blank symbol: drawn, but as an empty space (U+2800 BRAILLE PATTERN BLANK).
bool isBlankSymbol(char32_t c);
