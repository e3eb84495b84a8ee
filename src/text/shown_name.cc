// SPDX-License-Identifier: MIT
#include "text/shown_name.h"

#include <cstdint>

#include "text/utf8.h"

namespace tintrel {

namespace {

// The length of the safe sequence at the start of `bytes`, or 0 when its first byte is unsafe.
std::size_t SafeSequenceAt(std::string_view bytes) {
  const auto first = static_cast<uint8_t>(bytes[0]);
  if (first < 0x20 || first == 0x7f) return 0;
  if (first < 0x80) return 1;
  const std::size_t length = Utf8SequenceAt(bytes);
  // U+0080 to U+009F are the C1 controls: some terminals take U+009B as CSI.
  if (length == 2 && first == 0xc2 && static_cast<uint8_t>(bytes[1]) < 0xa0) return 0;
  return length;
}

void AddEscape(std::string& shown, uint8_t byte) {
  switch (byte) {
    case '\a': shown += "\\a"; return;
    case '\b': shown += "\\b"; return;
    case '\t': shown += "\\t"; return;
    case '\n': shown += "\\n"; return;
    case '\v': shown += "\\v"; return;
    case '\f': shown += "\\f"; return;
    case '\r': shown += "\\r"; return;
  }
  shown += '\\';
  shown += static_cast<char>('0' + (byte >> 6));
  shown += static_cast<char>('0' + ((byte >> 3) & 7));
  shown += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string ShownName(std::string_view name) {
  bool safe = true;
  for (std::size_t at = 0; at < name.size() && safe;) {
    const std::size_t length = SafeSequenceAt(name.substr(at));
    safe = length > 0;
    at += length;
  }
  if (safe) return std::string(name);
  // Safe runs go in single quotes, unsafe bytes in $'...'; the two kinds of quote abut.
  std::string shown;
  bool in_plain = false, in_escapes = false;
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = SafeSequenceAt(name.substr(at));
    if (length == 0) {
      if (in_plain) shown += '\'';
      if (!in_escapes) shown += "$'";
      in_plain = false;
      in_escapes = true;
      AddEscape(shown, static_cast<uint8_t>(name[at]));
      ++at;
      continue;
    }
    if (in_escapes) shown += '\'';
    if (!in_plain) shown += '\'';
    in_escapes = false;
    in_plain = true;
    for (char byte : name.substr(at, length))
      shown += byte == '\'' ? std::string("'\\''") : std::string(1, byte);
    at += length;
  }
  shown += '\'';
  return shown;
}

}  // namespace tintrel
