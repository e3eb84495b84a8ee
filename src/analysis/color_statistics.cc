// SPDX-License-Identifier: MIT
#include "analysis/color_statistics.h"

#include <bit>
#include <cstdlib>
#include <utility>

namespace tintrel {

namespace {

__extension__ using Wide = unsigned __int128;

// n / 2^shift rounded to nearest, ties to even; shift > 0.
Wide ShiftRounded(Wide n, int shift) {
  Wide kept = n >> shift;
  Wide dropped = n & ((Wide{1} << shift) - 1);
  Wide half = Wide{1} << (shift - 1);
  if (dropped > half || (dropped == half && (kept & 1) != 0)) ++kept;
  return kept;
}

int BitLength(Wide n) {
  auto high = static_cast<uint64_t>(n >> 64);
  return high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(static_cast<uint64_t>(n));
}

}  // namespace

int ExtendedPercent(int64_t part, int64_t total) {
  if (total <= 0 || part <= 0) return 0;
  if (part >= total) return 100;
  // The quotient as significand * 2^-exponent, the significand in [2^63, 2^64). part < total <
  // 2^63, so part * 2^exponent stays below 2^127.
  const auto numerator = static_cast<Wide>(part);
  const auto denominator = static_cast<Wide>(total);
  int exponent = 63 + BitLength(denominator) - BitLength(numerator);
  if ((numerator << exponent) < (denominator << 63)) ++exponent;
  Wide scaled = numerator << exponent;
  Wide significand = scaled / denominator;
  Wide remainder = scaled % denominator;
  if (2 * remainder > denominator || (2 * remainder == denominator && (significand & 1) != 0))
    ++significand;
  if (significand == (Wide{1} << 64)) {
    significand >>= 1;
    --exponent;
  }
  // Times 100 is exact below 2^71; round it back to 64 bits, then drop the fraction.
  Wide product = significand * 100;
  int excess = BitLength(product) - 64;
  Wide rounded = ShiftRounded(product, excess);
  return static_cast<int>(rounded >> (exponent - excess));
}

void SortTallies(std::array<ColorTally, 8>& table) {
  for (int pass = 0; pass < 7; ++pass) {
    for (int i = 1; i < 7; ++i) {
      if (table[i + 1].Count < table[i].Count) std::swap(table[i], table[i + 1]);
    }
  }
}

ColorStatistics ComputeColorStatistics(const ScanState& scan) {
  ColorStatistics stats;
  stats.Ranked = scan.ColorTable;
  auto& table = stats.Ranked;
  for (int color = 7; color >= 1; --color) {
    if (table[color].Count != 0) ++stats.ColorsUsed;
    stats.ColorTotal += table[color].Count;
  }
  for (int color = 7; color >= 1; --color) {
    // Taken wide, so no count is too large to multiply by 100.
    table[color].Percent = stats.ColorTotal == 0
                               ? 0
                               : static_cast<uint8_t>(static_cast<Wide>(table[color].Count) * 100 /
                                                      static_cast<Wide>(stats.ColorTotal));
  }
  SortTallies(table);
  return stats;
}

std::vector<uint8_t> NamedColors(const ColorStatistics& stats) {
  std::vector<uint8_t> colors;
  for (int position = 7; position >= 5; --position) {
    const ColorTally& tally = stats.Ranked[position];
    if (tally.Count != 0 && tally.Percent > 10) colors.push_back(tally.Color);
  }
  return colors;
}

std::string_view Verdict(const ScanState& scan) {
  const int low = LowAsciiPercent(scan);
  const int high = HighAsciiPercent(scan);
  if (std::abs(low - high) < 33) return "mixed";
  return low > high ? "low" : "high";
}

int LowAsciiPercent(const ScanState& scan) {
  return ExtendedPercent(scan.LowAsciiCount, scan.LowAsciiCount + scan.HighAsciiCount);
}

int HighAsciiPercent(const ScanState& scan) {
  return ExtendedPercent(scan.HighAsciiCount, scan.LowAsciiCount + scan.HighAsciiCount);
}

}  // namespace tintrel
