// SPDX-License-Identifier: MIT
// The generator's typical art has the statistics of real collections that make the scan's work:
// how often sequences come, which ones, how long the text between them is, and its bytes.
#include "kit/art_generator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/art_statistics.h"

namespace tintrel::artgen {
namespace {

struct Figure {
  std::string Name;
  double Made, Real, Tolerance;
};

TEST(ArtGenerator, TypicalArtHasTheStatisticsOfRealArt) {
  ArtStatistics made = MeasureArt(TypicalArt(5, 8 << 20, false));
  const ArtStatistics real = RealArt();
  std::vector<Figure> figures = {
      {"bytes per sequence", made.BytesPerSequence, real.BytesPerSequence, 0.3},
      {"mean text run", made.MeanTextRun, real.MeanTextRun, 0.1},
      {"high bytes", made.HighBytes, real.HighBytes, 0.01},
      {"line feeds per KB", made.LineFeedsPerKb, real.LineFeedsPerKb, 0.5},
      {"pipe codes", static_cast<double>(made.PipeCodes), 0, 0},
  };
  for (std::size_t i = 0; i < 3; ++i)
    figures.push_back(
        {"top shares " + std::to_string(i), made.TopShares[i], real.TopShares[i], 0.02});
  for (std::size_t i = 0; i < made.TextRuns.size(); ++i)
    figures.push_back(
        {"text runs " + std::to_string(i), made.TextRuns[i], real.TextRuns[i], 0.005});
  for (std::size_t i = 0; i < made.ColorParams.size(); ++i)
    figures.push_back({"colour parameters " + std::to_string(i + 1), made.ColorParams[i],
                       real.ColorParams[i], 0.01});
  for (const auto& [final, share] : real.FinalBytes)
    figures.push_back(
        {std::string("final ") + final, made.FinalBytes[final], share, std::max(0.002, share / 5)});
  for (const auto& [length, share] : real.Lengths)
    figures.push_back({"length " + std::to_string(length), made.Lengths[length], share, 0.01});
  ASSERT_EQ(made.Commonest.size(), real.Commonest.size());
  for (std::size_t i = 0; i < real.Commonest.size(); ++i) {
    EXPECT_EQ(made.Commonest[i].first, real.Commonest[i].first) << "rank " << i + 1;
    figures.push_back({"commonest " + real.Commonest[i].first, made.Commonest[i].second,
                       real.Commonest[i].second, 0.002});
  }
  for (const Figure& figure : figures)
    EXPECT_NEAR(figure.Made, figure.Real, figure.Tolerance) << figure.Name;
}

// The distinct sequences grow with the drawings: the 24-bit colours of each are its own.
TEST(ArtGenerator, TypicalArtHasAsManyDistinctSequencesAsRealArt) {
  const std::size_t distinct = MeasureArt(TypicalArt(5, 50'200'000, false)).DistinctSequences;
  EXPECT_NEAR(static_cast<double>(distinct), static_cast<double>(RealArt().DistinctSequences), 400);
}

// Seeded: the same seed makes the same bytes, another seed others.
TEST(ArtGenerator, SameSeedSameArt) {
  EXPECT_EQ(TypicalArt(3, 100000, true), TypicalArt(3, 100000, true));
  EXPECT_NE(TypicalArt(3, 100000, true), TypicalArt(4, 100000, true));
}

}  // namespace
}  // namespace tintrel::artgen
