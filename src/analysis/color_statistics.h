// SPDX-License-Identifier: MIT
// From raw tallies to the figures both outputs print: the colour total, the colours used, each
// colour's whole percentage, the colours in order of their counts, and the low/high shares.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "scan/scan_state.h"

namespace tintrel {

struct ColorStatistics {
  // The scan's tallies with each colour's Percent filled in, positions 1 to 7 ascending by Count:
  // the writers walk it from position 7 down. Black stays at position 0, with no share.
  std::array<ColorTally, 8> Ranked{};
  int64_t ColorTotal = 0;  // cells charged to colours 1 to 7; black takes no part
  uint8_t ColorsUsed = 0;  // how many of colours 1 to 7 have a cell
};

// The figures of a finished scan. With a colour total of 0 every Percent is 0.
ColorStatistics ComputeColorStatistics(const ScanState& scan);

// The word of each colour number; black has none.
inline constexpr std::array<std::string_view, 8> kColorWords = {
    "", "blueish", "greenish", "cyanish", "redish", "magentish", "yellowish", "grayish"};

// The colours a summary names, largest first: of the three largest, those with a share above
// 10 %. A share of 10 % or less is too minor to name.
std::vector<uint8_t> NamedColors(const ColorStatistics& stats);

// "mixed" when the low and high character shares are less than 33 points apart; otherwise "low"
// or "high", whichever is larger.
std::string_view Verdict(const ScanState& scan);

// Orders positions 1 to 7 ascending by Count with seven exchange passes. Equal counts are never
// exchanged, so among them the lower colour keeps the lower position. Position 0 stays.
void SortTallies(std::array<ColorTally, 8>& table);

// The share of low (below 127) and of high characters, 0 to 100, rounded as an 80-bit extended
// float would: an exact 53 % comes out 52 and an exact 59 % 58. 0 when nothing was counted.
int LowAsciiPercent(const ScanState& scan);
int HighAsciiPercent(const ScanState& scan);

// `part` of `total` as a whole percentage: part / total and then times 100, each rounded to a
// 64-bit significand (nearest, ties to even), then truncated. Needs 0 <= part <= total.
int ExtendedPercent(int64_t part, int64_t total);

}  // namespace tintrel
