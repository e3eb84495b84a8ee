// SPDX-License-Identifier: MIT
// The scan with quick steps against the same byte loop with them off, on the same bytes: any
// difference in the state or in the bytes written aborts. The quick steps run as a scan starts
// (with SSSE3 where the processor has AVX2), with AVX-512 and with AVX2 where the processor has
// them and without either, over whole blocks and again over chunks whose size the input's first
// byte picks, so that chunk ends fall inside runs, sequences and pipe codes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kit/reference_scan.h"
#include "scan/scan_state.h"
#include "scan/scanner.h"

namespace tintrel {
namespace {

struct Outcome {
  ScanState Scan;
  std::string Written;
};

Outcome Run(const uint8_t* data, std::size_t size, std::size_t chunk_size, QuickSteps quick) {
  Outcome outcome;
  ScanMemory(outcome.Scan, testkit::ReportsInto(outcome.Written), data, size, chunk_size, quick);
  return outcome;
}

void Compare(const char* what, std::size_t chunk_size, int64_t quick, int64_t byte_loop) {
  if (quick == byte_loop) return;
  std::fprintf(stderr, "quick steps in chunks of %zu differ in %s: %lld against %lld\n", chunk_size,
               what, static_cast<long long>(quick), static_cast<long long>(byte_loop));
  std::abort();
}

void CompareAll(const Outcome& quick, const Outcome& byte_loop, std::size_t chunk_size) {
  for (std::size_t i = 0; i < 8; ++i) {
    Compare("colour count", chunk_size, quick.Scan.ColorTable[i].Count,
            byte_loop.Scan.ColorTable[i].Count);
    Compare("colour", chunk_size, quick.Scan.ColorTable[i].Color,
            byte_loop.Scan.ColorTable[i].Color);
    Compare("percent", chunk_size, quick.Scan.ColorTable[i].Percent,
            byte_loop.Scan.ColorTable[i].Percent);
  }
  Compare("attribute", chunk_size, quick.Scan.CurrentAttr, byte_loop.Scan.CurrentAttr);
  Compare("column", chunk_size, quick.Scan.CursorX, byte_loop.Scan.CursorX);
  Compare("row", chunk_size, quick.Scan.CursorY, byte_loop.Scan.CursorY);
  Compare("low characters", chunk_size, quick.Scan.LowAsciiCount, byte_loop.Scan.LowAsciiCount);
  Compare("high characters", chunk_size, quick.Scan.HighAsciiCount, byte_loop.Scan.HighAsciiCount);
  if (quick.Written != byte_loop.Written) {
    std::fprintf(stderr,
                 "quick steps in chunks of %zu differ in the bytes written: %s against %s\n",
                 chunk_size, quick.Written.c_str(), byte_loop.Written.c_str());
    std::abort();
  }
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const Outcome byte_loop = Run(data, size, kBlockSize, QuickSteps::kOff);
  const std::size_t chunk_size = size > 0 ? 1 + data[0] % 192 : 1;
  for (QuickSteps quick : {QuickSteps::kOn, QuickSteps::kOnWithAvx2, QuickSteps::kOnWithoutAvx2,
                           QuickSteps::kOnWithAvx512}) {
    CompareAll(Run(data, size, kBlockSize, quick), byte_loop, kBlockSize);
    CompareAll(Run(data, size, chunk_size, quick), byte_loop, chunk_size);
  }
  return 0;
}
