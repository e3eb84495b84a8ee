// From raw tallies to the figures both outputs print: the colour total, the colours used, each
// colour's whole percentage, the colours in order of their counts, and the low/high shares.
#pragma once

#include <array>
#include <cstdint>

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
