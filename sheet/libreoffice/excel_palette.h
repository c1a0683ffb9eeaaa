#pragma once

#include <cstdint>
#include <optional>

// Colours 1 to 56 of the Excel 97 default palette, as 0xRRGGBB. An .xls file
// stores fills as palette entries, so only these colours come back unchanged
// after a save.
//
// The colour at `index`; nothing for an index outside 1 to 56.
std::optional<std::int32_t> excelPaletteColor(int index);

// The first index holding `colour` (some colours stand twice), or -1 for a
// colour outside the palette.
int excelPaletteIndex(std::int32_t colour);
