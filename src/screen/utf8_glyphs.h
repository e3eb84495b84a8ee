// SPDX-License-Identifier: MIT
// UTF-8 art on a code-page-437 screen: the glyph that shows a character, read by text/utf8.h.
#pragma once

#include <cstdint>

#include "text/utf8.h"

namespace tintrel {

inline constexpr int kNoGlyph = -1;
inline constexpr uint8_t kUnknownGlyph = '?';

// The code-page-437 glyph of a character: its own where code page 437 has it, kUnknownGlyph where
// it has none, kNoGlyph for the byte-order mark, which draws nothing.
int GlyphOf(char32_t code);

}  // namespace tintrel
