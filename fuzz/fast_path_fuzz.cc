// The scan that charges runs of ordinary bytes in one step against the plain byte-at-a-time
// reference, on the same bytes: any difference in the state or in the bytes written aborts.
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

template <typename ScanFunction>
Outcome Run(ScanFunction scan_function, const uint8_t* data, std::size_t size) {
  Outcome outcome;
  scan_function(outcome.Scan, testkit::ReportsInto(outcome.Written), data, size);
  return outcome;
}

void Differs(const char* what, int64_t fast, int64_t reference) {
  std::fprintf(stderr, "fast path differs in %s: %lld against %lld\n", what,
               static_cast<long long>(fast), static_cast<long long>(reference));
  std::abort();
}

void Compare(const char* what, int64_t fast, int64_t reference) {
  if (fast != reference) Differs(what, fast, reference);
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const Outcome fast = Run([](ScanState& scan, const PositionSink& positions, const uint8_t* bytes,
                              std::size_t n) { ScanMemory(scan, positions, bytes, n); },
                           data, size);
  const Outcome reference = Run(testkit::ReferenceScan, data, size);
  for (std::size_t i = 0; i < 8; ++i) {
    Compare("colour count", fast.Scan.ColorTable[i].Count, reference.Scan.ColorTable[i].Count);
    Compare("colour", fast.Scan.ColorTable[i].Color, reference.Scan.ColorTable[i].Color);
    Compare("percent", fast.Scan.ColorTable[i].Percent, reference.Scan.ColorTable[i].Percent);
  }
  Compare("attribute", fast.Scan.CurrentAttr, reference.Scan.CurrentAttr);
  Compare("column", fast.Scan.CursorX, reference.Scan.CursorX);
  Compare("row", fast.Scan.CursorY, reference.Scan.CursorY);
  Compare("low characters", fast.Scan.LowAsciiCount, reference.Scan.LowAsciiCount);
  Compare("high characters", fast.Scan.HighAsciiCount, reference.Scan.HighAsciiCount);
  if (fast.Written != reference.Written) {
    std::fprintf(stderr, "fast path differs in the bytes written: %zu against %zu bytes\n",
                 fast.Written.size(), reference.Written.size());
    std::abort();
  }
  return 0;
}
