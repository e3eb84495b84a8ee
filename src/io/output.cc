// SPDX-License-Identifier: MIT
#include "io/output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tintrel {

namespace {

// Writes all bytes or returns the errno of the write that failed; 0 on success.
int WriteAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace

void FlushOutput(Output& out) {
  if (out.Used == 0) return;
  std::size_t size = out.Used;
  out.Used = 0;  // what failed to go out is dropped, so the fault report does not repeat it
  if (out.Sink != nullptr) {
    out.Sink->append(out.Buffer.data(), size);
    return;
  }
  if (int error_number = WriteAll(out.Fd, out.Buffer.data(), size); error_number != 0) {
    throw Fault("OutputError",
                std::string("Unable to write to standard output: ") + std::strerror(error_number),
                error_number);
  }
}

void WriteText(Output& out, std::string_view text) {
  if (text.empty()) return;
  out.AtLineStart = text.back() == '\n';
  while (!text.empty()) {
    if (out.Used == out.Limit) FlushOutput(out);
    if (out.Buffer.size() < out.Limit && out.Buffer.size() - out.Used < text.size()) {
      // Doubling keeps the copies few; the first growth is small, as most runs print one line.
      const std::size_t wanted = std::max(out.Used + text.size(), 2 * out.Buffer.size());
      out.Buffer.resize(std::min(std::max<std::size_t>(wanted, 4096), out.Limit));
    }
    std::size_t room = out.Buffer.size() - out.Used;
    std::size_t part = text.size() < room ? text.size() : room;
    std::memcpy(out.Buffer.data() + out.Used, text.data(), part);
    out.Used += part;
    text.remove_prefix(part);
  }
}

void WriteLine(Output& out, std::string_view text) {
  WriteText(out, text);
  WriteText(out, "\n");
}

void WriteUnhandledReport(Output& out, const Fault& fault) {
  std::string report = out.AtLineStart ? "" : "\n";
  report += "Unhandled ";
  report += fault.Kind;
  report += ": ";
  report += fault.Message;
  report += '\n';
  try {
    WriteText(out, report);
    FlushOutput(out);
  } catch (const Fault&) {
    // Standard output itself is what failed; there is nowhere left to say so.
  }
}

}  // namespace tintrel
