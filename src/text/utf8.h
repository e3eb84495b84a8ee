// SPDX-License-Identifier: MIT
// UTF-8 as it is checked before text is trusted to be it: no overlong forms, no surrogates,
// nothing above U+10FFFF. One reader of a character serves the names and fields of the tables and
// the screen's UTF-8 art.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tintrel {

struct Utf8Read {
  enum Status : uint8_t { kCharacter, kInvalid, kNeedMore };
  Status Outcome = kInvalid;
  uint8_t Length = 1;  // kCharacter: its bytes
  char32_t Code = 0;
};

// The character at the start of `size` bytes (at least 1): whole, not one (its first byte starts
// no valid character), or cut short by their end.
Utf8Read ReadUtf8(const uint8_t* bytes, std::size_t size);

// The length of the valid UTF-8 sequence at the start of `bytes`, or 0 when there is none.
std::size_t Utf8SequenceAt(std::string_view bytes);

// Whether the bytes are valid UTF-8.
bool IsUtf8(std::string_view bytes);

// The same; a character cut by their end counts when `more_follow`.
bool IsUtf8Text(const uint8_t* bytes, std::size_t size, bool more_follow);

}  // namespace tintrel
