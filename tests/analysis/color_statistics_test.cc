// SPDX-License-Identifier: MIT
#include "analysis/color_statistics.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tintrel {
namespace {

ScanState WithCounts(const std::array<int64_t, 8>& counts) {
  ScanState scan;
  for (int color = 0; color < 8; ++color) scan.ColorTable[color].Count = counts[color];
  return scan;
}

// Positions 7 down to 1 as "colour:percent" pairs, the order the writers walk them in.
std::string Walk(const std::array<ColorTally, 8>& table) {
  std::string text;
  for (int position = 7; position >= 1; --position) {
    const ColorTally& tally = table[position];
    text += std::to_string(tally.Color) + ":" + std::to_string(tally.Percent) + " ";
  }
  return text;
}

TEST(ColorStatistics, SharesOrderAndTotals) {
  struct Case {
    std::string what;
    std::array<int64_t, 8> counts;  // by colour number, black first
    int64_t total;
    int used;
    std::string walk;
  } cases[] = {
      // clang-format off
      {"gray only; black ignored", {5000, 0, 0, 0, 0, 0, 0, 40}, 40, 1,
       "7:100 6:0 5:0 4:0 3:0 2:0 1:0 "},
      {"blue and red tied", {0, 100, 0, 0, 100, 0, 0, 0}, 200, 2,
       "4:50 1:50 7:0 6:0 5:0 3:0 2:0 "},
      {"three equal shares add to 99", {0, 0, 7, 0, 0, 7, 0, 7}, 21, 3,
       "7:33 5:33 2:33 6:0 4:0 3:0 1:0 "},
      {"half a percent truncates to 0 but is used", {0, 1, 0, 0, 0, 0, 0, 199}, 200, 2,
       "7:99 1:0 6:0 5:0 4:0 3:0 2:0 "},
      {"descending input comes out ascending", {0, 70, 60, 50, 40, 30, 20, 10}, 280, 7,
       "1:25 2:21 3:17 4:14 5:10 6:7 7:3 "},
      {"four-way tie keeps the higher colours on top", {0, 0, 0, 0, 5, 5, 5, 5}, 20, 4,
       "7:25 6:25 5:25 4:25 3:0 2:0 1:0 "},
      {"nothing charged: every share 0", {9, 0, 0, 0, 0, 0, 0, 0}, 0, 0,
       "7:0 6:0 5:0 4:0 3:0 2:0 1:0 "},
      // Counts far beyond what 32-bit arithmetic could multiply by 100.
      {"counts past 2^31 / 100", {0, 3'000'000'000, 0, 0, 0, 0, 0, 1'000'000'000},
       4'000'000'000, 2, "1:75 7:25 6:0 5:0 4:0 3:0 2:0 "},
      // clang-format on
  };
  for (const Case& c : cases) {
    const ScanState scan = WithCounts(c.counts);
    ColorStatistics stats = ComputeColorStatistics(scan);
    EXPECT_EQ(stats.ColorTotal, c.total) << c.what;
    EXPECT_EQ(stats.ColorsUsed, c.used) << c.what;
    EXPECT_EQ(Walk(stats.Ranked), c.walk) << c.what;
    EXPECT_EQ(stats.Ranked[0].Color, 0) << c.what;
    EXPECT_EQ(stats.Ranked[0].Count, c.counts[0]) << c.what;
    // The scan is left as it was, so it can be formatted again.
    EXPECT_EQ(ComputeColorStatistics(scan).Ranked, stats.Ranked) << c.what;
  }
}

TEST(ColorStatistics, SortMovesWholeEntriesAndIsStable) {
  std::array<ColorTally, 8> table = WithCounts({0, 3, 1, 3, 2, 1, 3, 0}).ColorTable;
  for (int color = 0; color < 8; ++color) table[color].Percent = uint8_t(10 * color);
  SortTallies(table);
  // Ascending; equal counts in colour order.
  const int expected[8] = {0, 7, 2, 5, 4, 1, 3, 6};
  for (int position = 0; position < 8; ++position) {
    const ColorTally& tally = table[position];
    EXPECT_EQ(tally.Color, expected[position]) << position;
    EXPECT_EQ(tally.Percent, 10 * expected[position]) << position;
  }
}

TEST(CharacterPercent, FollowsTheExtendedRounding) {
  struct Case {
    int64_t low, high;
    int low_percent, high_percent;
  } cases[] = {
      {53, 47, 52, 47}, {59, 41, 58, 41}, {1, 2, 33, 66}, {2, 1, 66, 33},    {29, 71, 29, 71},
      {5, 0, 100, 0},   {0, 5, 0, 100},   {0, 0, 0, 0},   {106, 94, 52, 47},
  };
  for (const Case& c : cases) {
    ScanState scan;
    scan.LowAsciiCount = c.low;
    scan.HighAsciiCount = c.high;
    EXPECT_EQ(LowAsciiPercent(scan), c.low_percent) << c.low << " low, " << c.high << " high";
    EXPECT_EQ(HighAsciiPercent(scan), c.high_percent) << c.low << " low, " << c.high << " high";
  }
}

// Of all exact whole percentages only 53 and 59 lose a point, whatever the total.
TEST(CharacterPercent, OnlyExact53And59ComeOutLower) {
  for (int64_t scale : {int64_t{1}, int64_t{3}, int64_t{7}, int64_t{1000}, int64_t{1} << 40}) {
    for (int64_t percent = 0; percent <= 100; ++percent) {
      int expected = static_cast<int>(percent) - (percent == 53 || percent == 59 ? 1 : 0);
      EXPECT_EQ(ExtendedPercent(percent * scale, 100 * scale), expected)
          << percent << "% at scale " << scale;
    }
  }
}

// On x86 long double is the 80-bit format itself: the integer arithmetic must agree with it.
long double ByExtendedFloat(int64_t part, int64_t total) {
  volatile long double quotient = static_cast<long double>(part) / static_cast<long double>(total);
  volatile long double percent = quotient * 100.0L;
  return percent;
}

TEST(CharacterPercent, AgreesWithTheX87FormatOnEveryPairUpTo3000) {
  if (std::numeric_limits<long double>::digits != 64) {
    GTEST_SKIP() << "long double is not the 80-bit format here";
  }
  int mismatches = 0;
  for (int64_t total = 1; total <= 3000; ++total) {
    for (int64_t part = 0; part <= total; ++part) {
      auto expected = static_cast<int>(ByExtendedFloat(part, total));
      if (ExtendedPercent(part, total) != expected && ++mismatches <= 5) {
        ADD_FAILURE() << part << " of " << total << ": expected " << expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(CharacterPercent, AgreesWithTheX87FormatOnLargeCounts) {
  if (std::numeric_limits<long double>::digits != 64) {
    GTEST_SKIP() << "long double is not the 80-bit format here";
  }
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 200000; ++i) {
    // Totals of every magnitude up to 2^62, so the sum of two counts cannot overflow.
    int shift = static_cast<int>(random() % 62);
    int64_t total = static_cast<int64_t>(random() >> (2 + shift)) + 1;
    int64_t part = static_cast<int64_t>(random() % static_cast<uint64_t>(total + 1));
    ASSERT_EQ(ExtendedPercent(part, total), static_cast<int>(ByExtendedFloat(part, total)))
        << part << " of " << total;
  }
}

}  // namespace
}  // namespace tintrel
