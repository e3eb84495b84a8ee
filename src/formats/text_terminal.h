// SPDX-License-Identifier: MIT
// The bytes between a text format's own codes, as the ANSI screen takes them: carriage return,
// line feed and tab move the cursor, ESC "[" sequences act by the screen's own steps, ESC before
// anything else is dropped, and every other byte is a glyph (pipe codes are ANSI's alone).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "formats/drawing.h"
#include "screen/screen_steps.h"

namespace tintrel {

// The bytes that start a format's own codes: true for each.
using StopBytes = std::array<bool, 256>;

constexpr StopBytes StopsAt(std::initializer_list<uint8_t> bytes) {
  StopBytes stops{};
  for (uint8_t b : bytes) stops[b] = true;
  return stops;
}

struct TextTerminal {
  enum class State : uint8_t { kNormal, kEscape, kSequence } Now = State::kNormal;
  ScreenParams Params;
};

// Takes bytes of plain text in file order; returns how many it took, stopping before the first
// stop byte (the start of the format's own code) met outside a sequence, or at `size`.
std::size_t TakeText(Drawing& drawing, TextTerminal& terminal, const uint8_t* bytes,
                     std::size_t size, const StopBytes& stops);

// Whether the text takes `b` as a glyph where no sequence is open.
constexpr bool IsTextGlyph(uint8_t b, const StopBytes& stops) {
  return b != '\r' && b != '\n' && b != '\t' && b != 27 && !stops[b];
}

// A screen step of the format's own, with the erase's cells charged as the scan charges them.
void TakeArtStep(Drawing& drawing, const ScreenStep& step);

// The width a text format is drawn at: its record's, for Character data wider than 80 columns
// (held to the screen's most); else 80, as the ANSI screen's.
uint32_t TextWidthFor(const SauceFacts& sauce);

}  // namespace tintrel
