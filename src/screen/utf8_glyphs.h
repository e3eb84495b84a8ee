// SPDX-License-Identifier: MIT
// UTF-8 art on a code-page-437 screen: reading one character, the glyph that shows it, and
// whether the bytes held back at the first high byte are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tintrel {

struct Utf8Read {
  enum Status : uint8_t { kCharacter, kInvalid, kNeedMore };
  Status Outcome = kInvalid;
  uint8_t Length = 1;  // kCharacter: its bytes
  char32_t Code = 0;
};

// The character at the start of `size` bytes (at least 1): whole, not one (its first byte starts
// no valid character: no overlong forms, no surrogates, nothing above U+10FFFF), or cut short.
Utf8Read ReadUtf8(const uint8_t* bytes, std::size_t size);

inline constexpr int kNoGlyph = -1;
inline constexpr uint8_t kUnknownGlyph = '?';

// The code-page-437 glyph of a character: its own where code page 437 has it, kUnknownGlyph where
// it has none, kNoGlyph for the byte-order mark, which draws nothing.
int GlyphOf(char32_t code);

// Whether the bytes are UTF-8; a character cut by their end counts when `more_follow`.
bool IsUtf8Text(const uint8_t* bytes, std::size_t size, bool more_follow);

}  // namespace tintrel
