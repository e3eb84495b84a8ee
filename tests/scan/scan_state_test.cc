// SPDX-License-Identifier: MIT
#include "scan/scan_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace tintrel {
namespace {

using Counts = std::array<int64_t, 8>;  // black, blue, green, cyan, red, magenta, yellow, gray

Counts CountsOf(const ScanState& scan) {
  Counts counts{};
  for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = scan.ColorTable[i].Count;
  return counts;
}

TEST(ScanState, StartsGrayOnBlackAtHomeWithAnEmptyTable) {
  ScanState scan;
  EXPECT_EQ(scan.CurrentAttr, 7);
  EXPECT_EQ(+scan.CursorX, 1);
  EXPECT_EQ(+scan.CursorY, 1);
  EXPECT_EQ(CountsOf(scan), Counts{});
  for (uint8_t i = 0; i < 8; ++i) {
    EXPECT_EQ(scan.ColorTable[i].Color, i);
    EXPECT_EQ(scan.ColorTable[i].Percent, 0);
  }
}

TEST(ScanState, AddToTallyChargesForegroundAndBackground) {
  struct Case {
    uint8_t attr;
    int64_t cells;
    Counts counts;
  } cases[] = {
      {7, 1, {1, 0, 0, 0, 0, 0, 0, 1}},   // gray on black
      {15, 1, {1, 0, 0, 0, 0, 0, 0, 1}},  // bright gray folds to gray
      {30, 1, {0, 1, 0, 0, 0, 0, 1, 0}},  // bright yellow on blue
      {68, 1, {0, 0, 0, 0, 2, 0, 0, 0}},  // red on red: one entry gains both
      {0, 1, {2, 0, 0, 0, 0, 0, 0, 0}},   // black on black
      {7, 5, {5, 0, 0, 0, 0, 0, 0, 5}},    {7, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
      {0x97, 1, {0, 1, 0, 0, 0, 0, 0, 1}},  // blinking gray on blue
      {0xF0, 1, {1, 0, 0, 0, 0, 0, 0, 1}},  // blinking black on gray
      {0x8E, 2, {2, 0, 0, 0, 0, 0, 2, 0}},  // blinking bright yellow on black
  };
  for (const Case& c : cases) {
    ScanState scan;
    scan.CurrentAttr = c.attr;
    AddToTally(scan, c.cells);
    EXPECT_EQ(CountsOf(scan), c.counts) << "attr " << +c.attr << " cells " << c.cells;
  }
}

TEST(ScanState, CountsGoPast32Bits) {
  ScanState scan;
  AddToTally(scan, int64_t{3} << 31);
  AddToTally(scan, int64_t{3} << 31);
  EXPECT_EQ(scan.ColorTable[7].Count, int64_t{3} << 32);
}

}  // namespace
}  // namespace tintrel
