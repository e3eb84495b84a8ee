// SPDX-License-Identifier: MIT
// Short texts: at most 255 bytes, one byte per character, never converted between encodings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tintrel {

inline constexpr std::size_t kShortTextMax = 255;

// The first 255 bytes of a text.
std::string ShortText(std::string_view text);

// The text with the letters a to z upper-cased; every other byte, those above 127 included, stays.
std::string UpperCased(std::string_view text);

// The text cut, or filled on the right with `fill`, to exactly `width` bytes.
std::string PadRightWith(std::string_view text, uint8_t width, char fill);

// The text cut on the right, or filled on the left with `fill`, to exactly `width` bytes.
std::string PadLeftWith(std::string_view text, uint8_t width, char fill);

// The text without the run of `strip` at its end.
std::string StripTrailing(std::string_view text, char strip);

// Decimal text: digits, no leading zeros, a minus sign when negative. Takes 64 bits because the
// counts it prints are 64-bit.
std::string IntToText(int64_t number);

}  // namespace tintrel
