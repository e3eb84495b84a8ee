// SPDX-License-Identifier: MIT
// The screen model alone, on bytes in memory, in bytes per second, fed in the 64 KiB chunks the
// catalogue reads: typical art (made to the statistics of real collections) drawn by one screen
// file after file, as a catalogue worker does (files of about 40 KB, the mean of real
// collections), and as one drawing of 4 MiB, most of it below the stored rows; art of long runs;
// the worst case. Nothing is read from disk and nothing is written out.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "kit/art_generator.h"
#include "screen/screen.h"

namespace tintrel {
namespace {

constexpr std::size_t kInputSize = 4 << 20;
constexpr std::size_t kFileSize = 40 << 10;

void RunScreen(benchmark::State& state, const std::vector<std::string>& files) {
  Screen screen;
  int64_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& file : files) {
      ResetScreen(screen);
      DrawMemory(screen, reinterpret_cast<const uint8_t*>(file.data()), file.size());
      benchmark::DoNotOptimize(SummarizeScreen(screen));
      bytes += static_cast<int64_t>(file.size());
    }
  }
  state.SetBytesProcessed(bytes);
}

std::vector<std::string> Files(std::string (*make)(uint64_t seed, std::size_t size)) {
  std::vector<std::string> files;
  for (uint64_t seed = 1; files.size() * kFileSize < kInputSize; ++seed)
    files.push_back(make(seed, kFileSize));
  return files;
}

std::string Typical(uint64_t seed, std::size_t size) {
  return artgen::TypicalArt(seed, size, false);
}

void BM_ScreenTypicalFiles(benchmark::State& state) {
  static const std::vector<std::string> files = Files(Typical);
  RunScreen(state, files);
}
BENCHMARK(BM_ScreenTypicalFiles);

void BM_ScreenTypicalArt(benchmark::State& state) {
  static const std::vector<std::string> files = {Typical(1, kInputSize)};
  RunScreen(state, files);
}
BENCHMARK(BM_ScreenTypicalArt);

void BM_ScreenLongRuns(benchmark::State& state) {
  static const std::vector<std::string> files = {artgen::LongRunArt(1, kInputSize, false)};
  RunScreen(state, files);
}
BENCHMARK(BM_ScreenLongRuns);

void BM_ScreenWorstCase(benchmark::State& state) {
  static const std::vector<std::string> files = {artgen::WorstCaseArt(1, kInputSize)};
  RunScreen(state, files);
}
BENCHMARK(BM_ScreenWorstCase);

}  // namespace
}  // namespace tintrel

BENCHMARK_MAIN();
