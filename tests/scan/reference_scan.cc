#include "scan/reference_scan.h"

#include "scan/escape_interpreter.h"
#include "scan/file_reader.h"

namespace tintrel::testkit {

void ReferenceScan(ScanState& scan, Output& out, const uint8_t* bytes, std::size_t size) {
  Interpreter in{scan, out};
  // Past the last byte the input reads as end marks, as the file reader's does.
  auto byte_at = [&](std::size_t i) { return i < size ? bytes[i] : kEndMark; };
  for (std::size_t i = 0;;) {
    uint8_t b = byte_at(i++);
    if (b == kEndMark) return;
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

}  // namespace tintrel::testkit
