// The scan done the plain way, one byte at a time from an index into the bytes, with no blocks
// and no runs: what the real scan must agree with on every input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/output.h"
#include "scan/scan_state.h"

namespace tintrel::testkit {

void ReferenceScan(ScanState& scan, Output& out, const uint8_t* bytes, std::size_t size);

}  // namespace tintrel::testkit
