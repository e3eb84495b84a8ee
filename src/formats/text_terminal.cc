// SPDX-License-Identifier: MIT
#include "formats/text_terminal.h"

#include <algorithm>

#include "scan/byte_classes.h"
#include "screen/screen_draw.h"

namespace tintrel {

namespace {

constexpr uint8_t kCharacterData = 1;

}  // namespace

void TakeArtStep(Drawing& drawing, const ScreenStep& step) {
  if (step.Kind == StepKind::kEraseLine)
    ChargeErased(drawing, drawing.Grid.Width - drawing.Grid.Column);
  TakeStep(drawing.Grid, step);
}

std::size_t TakeText(Drawing& drawing, TextTerminal& terminal, const uint8_t* bytes,
                     std::size_t size, const StopBytes& stops) {
  Screen& grid = drawing.Grid;
  std::size_t at = 0;
  while (at < size) {
    const uint8_t b = bytes[at];
    switch (terminal.Now) {
      case TextTerminal::State::kEscape:
        ++at;
        terminal.Now = TextTerminal::State::kNormal;
        if (b == '[') {
          terminal.Now = TextTerminal::State::kSequence;
          terminal.Params.Length = 0;
        } else {
          --at;  // the byte after a lone ESC is read as usual
        }
        continue;
      case TextTerminal::State::kSequence:
        ++at;
        if (IsParamChar(b)) {
          if (terminal.Params.Length < terminal.Params.Chars.size())
            terminal.Params.Chars[terminal.Params.Length++] = b;
          continue;
        }
        terminal.Now = TextTerminal::State::kNormal;
        TakeArtStep(drawing, SequenceStep(terminal.Params.Chars.data(), terminal.Params.Length, b));
        continue;
      case TextTerminal::State::kNormal: break;
    }
    if (stops[b]) return at;
    if (IsTextGlyph(b, stops)) {
      std::size_t run = 1;
      while (at + run < size && IsTextGlyph(bytes[at + run], stops)) ++run;
      DrawArtGlyphs(drawing, bytes + at, run);
      at += run;
      continue;
    }
    ++at;
    switch (b) {
      case '\r': grid.Column = 0; break;
      case '\n': LineFeed(grid); break;
      case '\t': grid.Column = TabStop(grid.Column, grid.Width); break;
      default: terminal.Now = TextTerminal::State::kEscape; break;
    }
  }
  return at;
}

uint32_t TextWidthFor(const SauceFacts& sauce) {
  if (!sauce.Present || sauce.DataType != kCharacterData || sauce.Width <= kDefaultScreenWidth)
    return kDefaultScreenWidth;
  return std::min<uint32_t>(sauce.Width, kMaxScreenWidth);
}

}  // namespace tintrel
