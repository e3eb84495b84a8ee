// SPDX-License-Identifier: MIT
// Standard output: every byte the program writes goes through one buffered writer that passes
// bytes unchanged, checks every write, and remembers whether the output stands at a line start.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "io/fault.h"

namespace tintrel {

// What one write may carry when a run gathers its whole output: tintrel holds up to this much so
// that a flood of position reports still leaves in a single write.
inline constexpr std::size_t kWholeRunOutput = std::size_t{16} << 20;

struct Output {
  int Fd = 1;
  std::string* Sink = nullptr;  // when set, flushed bytes are appended here instead of to Fd
  std::size_t Limit = 65536;    // bytes held before a write; the buffer grows to it as needed
  std::string Buffer;
  std::size_t Used = 0;
  bool AtLineStart = true;  // nothing written yet, or the last byte written was a line feed
};

// Appends bytes; a full buffer is flushed first. Throws OutputError when the system refuses them.
void WriteText(Output& out, std::string_view text);

// Appends the text and a line feed.
void WriteLine(Output& out, std::string_view text);

// Hands every buffered byte to the system. Throws OutputError when a write fails.
void FlushOutput(Output& out);

// Writes "Unhandled <Kind>: <message>" on a line of its own and flushes, as far as the output
// still takes bytes: the run is ending with a fault already, so a failure here is not reported.
void WriteUnhandledReport(Output& out, const Fault& fault);

}  // namespace tintrel
