// SPDX-License-Identifier: MIT
// PCBoard: text whose colours are "@X" and two hex digits, the background's then the
// foreground's; "@CLS@" clears the screen and "@POS:n@" moves the cursor to column n. Every other
// "@" is a glyph; the rest of the text is read as the ANSI screen reads it, to the first byte 26.
#include <algorithm>
#include <cstring>

#include "formats/readers.h"

namespace tintrel {

namespace {

constexpr StopBytes kStops = StopsAt({'@'});

int HexValue(uint8_t b) {
  if (b >= '0' && b <= '9') return b - '0';
  if (b >= 'A' && b <= 'F') return b - 'A' + 10;
  if (b >= 'a' && b <= 'f') return b - 'a' + 10;
  return -1;
}

bool StartsWith(ArtSpan rest, std::string_view code) {
  return rest.size() >= code.size() && std::memcmp(rest.data(), code.data(), code.size()) == 0;
}

// The code at an "@": the bytes it takes, 0 when it is none.
std::size_t TakeCode(Drawing& drawing, ArtSpan rest) {
  if (rest.size() >= 4 && (rest[1] == 'X' || rest[1] == 'x')) {
    const int background = HexValue(rest[2]), foreground = HexValue(rest[3]);
    if (background < 0 || foreground < 0) return 0;
    SetArtAttr(drawing, static_cast<uint8_t>(background << 4 | foreground));
    return 4;
  }
  if (StartsWith(rest, "@CLS@")) {
    TakeArtStep(drawing, ScreenStep{.Kind = StepKind::kClear});
    return 5;
  }
  if (StartsWith(rest, "@POS:")) {
    std::size_t at = 5;
    uint32_t column = 0;
    while (at < rest.size() && at < 9 && rest[at] >= '0' && rest[at] <= '9')
      column = column * 10 + (rest[at++] - '0');
    if (at == 5 || at >= rest.size() || rest[at] != '@') return 0;
    drawing.Grid.Column = std::min(std::max(column, 1u), drawing.Grid.Width) - 1;
    return at + 1;
  }
  return 0;
}

}  // namespace

void ReadPcboard(Drawing& drawing, ArtSpan art, const SauceFacts& sauce) {
  art = ArtBytes(ArtFormat::kPcboard, art, {});
  StartDrawing(drawing, ArtFormat::kPcboard, TextWidthFor(sauce));
  drawing.Ice = true;
  TextTerminal terminal;
  std::size_t at = 0;
  while (at < art.size()) {
    at += TakeText(drawing, terminal, art.data() + at, art.size() - at, kStops);
    if (at == art.size()) break;
    const std::size_t taken = TakeCode(drawing, art.subspan(at));
    if (taken == 0) DrawArtGlyphs(drawing, art.data() + at, 1);
    at += std::max<std::size_t>(taken, 1);
  }
}

}  // namespace tintrel
