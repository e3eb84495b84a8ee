// SPDX-License-Identifier: MIT
#include "kit/reference_scan.h"

namespace tintrel::testkit {

PositionSink ReportsInto(std::string& written) {
  return {[](void* context, uint8_t row, uint8_t column) {
            *static_cast<std::string*>(context) +=
                "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "R";
          },
          &written};
}

Counts TalliesOf(const ScanState& scan) {
  Counts counts;
  for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = scan.ColorTable[i].Count;
  return counts;
}

}  // namespace tintrel::testkit
