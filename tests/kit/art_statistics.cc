// SPDX-License-Identifier: MIT
#include "kit/art_statistics.h"

#include <algorithm>
#include <unordered_map>

namespace tintrel::artgen {

namespace {

bool IsParameter(char c) {
  return (c >= '0' && c <= '9') || c == ';' || c == '?';
}

}  // namespace

ArtStatistics MeasureArt(std::string_view bytes) {
  ArtStatistics stats;
  std::unordered_map<std::string_view, std::size_t> counts;
  std::size_t sequences = 0, run = 0, text = 0, runs = 0, color_changes = 0;
  std::size_t high = 0, line_feeds = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 27 && i + 2 < bytes.size() && bytes[i + 1] == '[') {
      std::size_t last = i + 2;
      while (last + 1 < bytes.size() && IsParameter(bytes[last])) ++last;
      const std::string_view sequence = bytes.substr(i, last + 1 - i);
      ++counts[sequence.substr(2)];
      ++sequences;
      stats.FinalBytes[sequence.back()] += 1;
      stats.Lengths[sequence.size()] += 1;
      if (sequence.back() == 'm') {
        ++color_changes;
        const auto params = 1 + std::count(sequence.begin(), sequence.end(), ';');
        stats.ColorParams[std::min<std::size_t>(params, 4) - 1] += 1;
      }
      if (sequences > 1) {
        stats.TextRuns[run < 6 ? run : run < 20 ? 6 : 7] += 1;
        text += run;
        ++runs;
      }
      run = 0;
      i = last + 1;
      continue;
    }
    high += b >= 128;
    line_feeds += b == '\n';
    if (b == '|' && i + 2 < bytes.size() && bytes[i + 1] >= '0' && bytes[i + 1] <= '2' &&
        bytes[i + 2] >= '0' && bytes[i + 2] <= '9')
      ++stats.PipeCodes;
    ++run;
    ++i;
  }
  const auto of = [](auto n, std::size_t total) {
    return total > 0 ? static_cast<double>(n) / static_cast<double>(total) : 0.0;
  };
  stats.BytesPerSequence = of(bytes.size(), sequences);
  stats.DistinctSequences = counts.size();
  std::vector<std::pair<std::size_t, std::string_view>> ranked;
  for (const auto& [sequence, count] : counts) ranked.emplace_back(count, sequence);
  std::sort(ranked.begin(), ranked.end(), std::greater<>());
  std::size_t sum = 0;
  for (std::size_t rank = 0; rank < ranked.size() && rank < 200; ++rank) {
    sum += ranked[rank].first;
    if (rank == 9) stats.TopShares[0] = of(sum, sequences);
    if (rank == 49) stats.TopShares[1] = of(sum, sequences);
    if (rank < 8)
      stats.Commonest.emplace_back(ranked[rank].second, of(ranked[rank].first, sequences));
  }
  stats.TopShares[2] = of(sum, sequences);
  for (auto& [final, share] : stats.FinalBytes) share = of(share, sequences);
  for (auto& [length, share] : stats.Lengths) share = of(share, sequences);
  for (double& share : stats.TextRuns) share = of(share, runs);
  for (double& share : stats.ColorParams) share = of(share, color_changes);
  stats.MeanTextRun = of(text, runs);
  stats.HighBytes = of(high, bytes.size());
  stats.LineFeedsPerKb = of(1000.0 * static_cast<double>(line_feeds), bytes.size());
  return stats;
}

ArtStatistics RealArt() {
  ArtStatistics real;
  real.BytesPerSequence = 9.5;
  real.DistinctSequences = 3386;
  real.TopShares = {0.44, 0.78, 0.92};
  real.FinalBytes = {{'m', 0.915}, {'C', 0.045}, {'t', 0.020}, {'H', 0.014},
                     {'A', 0.004}, {'s', 0.001}, {'D', 0.001}};
  real.TextRuns = {0.116, 0.424, 0.173, 0.088, 0.054, 0.030, 0.094, 0.021};
  real.MeanTextRun = 3.2;
  real.Lengths = {{4, 0.16}, {5, 0.37}, {7, 0.27}, {8, 0.07}, {10, 0.08}, {12, 0.02}};
  real.ColorParams = {0.53, 0.36, 0.10, 0.02};
  real.Commonest = {{"0m", 0.103}, {"40m", 0.067}, {"37m", 0.059}, {"1;30m", 0.050},
                    {"1m", 0.034}, {"30m", 0.029}, {"47m", 0.028}, {"0;33m", 0.024}};
  real.HighBytes = 0.246;
  real.LineFeedsPerKb = 3.3;
  return real;
}

}  // namespace tintrel::artgen
