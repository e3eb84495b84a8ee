#include "kit/reference_scan.h"

#include "scan/escape_interpreter.h"
#include "scan/scanner.h"

namespace tintrel::testkit {

void ReferenceScan(ScanState& scan, const PositionSink& positions, const uint8_t* bytes,
                   std::size_t size) {
  Interpreter in{scan, positions};
  // Past the last byte the input reads as end marks, as the scan's does.
  auto byte_at = [&](std::size_t i) { return i < size ? bytes[i] : kEndMark; };
  for (std::size_t i = 0;;) {
    uint8_t b = byte_at(i++);
    if (b == kEndMark) return Settle(in);
    if (b != '|') {
      ProcessChar(in, b);
      continue;
    }
    if (int code = PipeCodeValue(byte_at(i), byte_at(i + 1)); code >= 0) {
      scan.ColorTable[code % 8].Count += 1;
      i += 2;
    } else {
      ProcessChar(in, b);
    }
  }
}

PositionSink ReportsInto(std::string& written) {
  return {[](void* context, uint8_t row, uint8_t column) {
            *static_cast<std::string*>(context) +=
                "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "R";
          },
          &written};
}

}  // namespace tintrel::testkit
