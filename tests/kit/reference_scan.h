// Scans for tests: the scan done the plain way, one byte at a time from an index into the bytes,
// with no chunks and no runs, which the real scan must agree with on every input; and a position
// sink that writes the reports into a string as tintrel writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/scan_state.h"

namespace tintrel::testkit {

void ReferenceScan(ScanState& scan, const PositionSink& positions, const uint8_t* bytes,
                   std::size_t size);

// Appends each report to `written` as ESC [ row ; column R.
PositionSink ReportsInto(std::string& written);

}  // namespace tintrel::testkit
