// SPDX-License-Identifier: MIT
// A position sink for tests that writes the cursor position reports of a scan into a string, as
// tintrel writes them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "scan/scan_state.h"

namespace tintrel::testkit {

// Appends each report to `written` as ESC [ row ; column R.
PositionSink ReportsInto(std::string& written);

// Cells charged to each colour: black, blue, green, cyan, red, magenta, yellow, gray.
using Counts = std::array<int64_t, 8>;

// What a scan left: its state, the reports it wrote and the tallies read out of its table.
struct ScanResult {
  ScanState Scan;
  std::string Written;
  Counts Tallies{};
};

Counts TalliesOf(const ScanState& scan);

// Cells drawn gray on black, charged to both colours.
constexpr Counts Gray(int64_t cells) {
  return {cells, 0, 0, 0, 0, 0, 0, cells};
}

}  // namespace tintrel::testkit
