// SPDX-License-Identifier: MIT
// The scan alone, on bytes in memory, in bytes per second: typical art (made to the statistics of
// real collections), art of long runs, the worst case and random bytes. Nothing is read from disk
// and nothing is written out.
#include <benchmark/benchmark.h>

#include <string>

#include "kit/art_generator.h"
#include "scan/scanner.h"

namespace tintrel {
namespace {

constexpr std::size_t kInputSize = 4 << 20;

void RunScan(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) {
    ScanState scan;
    ScanMemory(scan, {}, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    benchmark::DoNotOptimize(scan);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_ScanTypicalArt(benchmark::State& state) {
  static const std::string bytes = artgen::TypicalArt(1, kInputSize, false);
  RunScan(state, bytes);
}
BENCHMARK(BM_ScanTypicalArt);

void BM_ScanLongRuns(benchmark::State& state) {
  static const std::string bytes = artgen::LongRunArt(1, kInputSize, false);
  RunScan(state, bytes);
}
BENCHMARK(BM_ScanLongRuns);

void BM_ScanWorstCase(benchmark::State& state) {
  static const std::string bytes = artgen::WorstCaseArt(1, kInputSize);
  RunScan(state, bytes);
}
BENCHMARK(BM_ScanWorstCase);

void BM_ScanRandomBytes(benchmark::State& state) {
  static const std::string bytes = artgen::RandomBytes(1, kInputSize, false);
  RunScan(state, bytes);
}
BENCHMARK(BM_ScanRandomBytes);

}  // namespace
}  // namespace tintrel

BENCHMARK_MAIN();
