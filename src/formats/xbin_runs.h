// SPDX-License-Identifier: MIT
// XBin's run-length code: a byte whose top two bits say what repeats and whose low six bits are
// the run's length less one, then the run's bytes:
//   00  no compression: length pairs of glyph and attribute
//   01  glyph compression: one glyph, then length attributes
//   10  attribute compression: one attribute, then length glyphs
//   11  both: one glyph and one attribute, repeated length times
// A run may go on past the end of a row; the decoder stops wherever its caller wants cells no
// more and goes on from there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "screen/screen.h"

namespace tintrel {

struct XbinRuns {
  const uint8_t* At = nullptr;
  const uint8_t* End = nullptr;
  uint32_t Left = 0;  // cells of the current run still to come
  uint8_t Kind = 0;   // the current run's top two bits
  Cell Repeated{};    // the part of the run that repeats
};

// Fills up to `count` cells from the runs; fewer only where the bytes end between two runs. A
// run whose bytes go past the end throws a FormatError.
std::size_t DecodeXbinRuns(XbinRuns& runs, Cell* cells, std::size_t count);

}  // namespace tintrel
