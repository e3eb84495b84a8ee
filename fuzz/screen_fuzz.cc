// SPDX-License-Identifier: MIT
// The screen on any bytes: its quick steps (with the best instructions the processor has, with
// AVX2 at most and with those every processor has, whole and in chunks whose size the input's
// first byte picks) against the byte loop; the same bytes read from a file by the catalogue's
// read; and what the summary promises, against a count of the stored cells made here. Aborts on
// any difference.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "analysis/art_facts.h"
#include "kit/screen_difference.h"
#include "screen/screen.h"

namespace tintrel {
namespace {

void Check(bool holds, const char* what, const std::string& detail = {}) {
  if (holds) return;
  std::fprintf(stderr, "screen: %s %s\n", what, detail.c_str());
  std::abort();
}

void Draw(Screen& screen, const uint8_t* data, std::size_t size, uint32_t width, QuickScreen quick,
          std::size_t chunk) {
  screen.Quick = quick;
  ResetScreen(screen, width);
  DrawMemory(screen, data, size, chunk);
}

bool Visible(Cell cell) {
  const bool ink = cell.Glyph != 0 && cell.Glyph != ' ' && cell.Glyph != 255;
  return (cell.Attr >> 4) != 0 || (ink && (cell.Attr & 15) != 0);
}

// What the summary says, counted again cell by cell, while nothing was drawn below the stored
// rows.
void CheckSummary(const Screen& screen, const ScreenSummary& summary, std::string_view art) {
  const bool high = std::any_of(art.begin(), art.end(), [](char c) { return c & 0x80; });
  Check(high == (summary.Characters != Charset::kAscii), "character set");
  Check(summary.Width <= screen.Width, "width");
  Check((summary.Frames == 0) <= (summary.Width == 0), "frames of an empty drawing");
  if (screen.BelowLines != 0 || screen.BelowByAttr != std::array<int64_t, 256>{}) return;
  ScreenSummary counted;
  for (uint32_t row = 0; row < StoredRows(screen); ++row) {
    const std::span<const Cell> cells = ScreenRow(screen, row);
    for (uint32_t column = 0; column < screen.Width; ++column) {
      const Cell cell = cells[column];
      Check(column < screen.Marks[row].HeldHi || cell == Cell{}, "a cell past HeldHi");
      if (!Visible(cell)) continue;
      counted.Width = std::max(counted.Width, column + 1);
      counted.Lines = row + 1;
    }
  }
  Check(summary.Width == counted.Width && summary.Lines == counted.Lines, "extent");
  for (uint32_t row = 0; row < counted.Lines; ++row) {
    for (Cell cell : ScreenRow(screen, row).first(counted.Width)) {
      ++counted.Background[cell.Attr >> 4];
      const bool ink = cell.Glyph != 0 && cell.Glyph != ' ' && cell.Glyph != 255;
      if (ink && (cell.Attr & 15) != (cell.Attr >> 4)) ++counted.Foreground[cell.Attr & 15];
    }
  }
  Check(summary.Background == counted.Background, "background counts");
  Check(summary.Foreground == counted.Foreground, "foreground counts");
  const bool bright = std::any_of(counted.Background.begin() + 8, counted.Background.end(),
                                  [](int64_t cells) { return cells > 0; });
  Check(summary.Ice == bright, "iCE");
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  // The first byte picks the width (a third of inputs draw at 40 or 132 columns) and the chunks.
  const uint32_t width = size == 0 ? 80 : data[0] % 3 == 0 ? 80 + (data[0] & 1) * 52 - 40 : 80;
  const std::size_t chunk = size > 0 ? 1 + data[0] % 192 : 1;
  static Screen byte_loop, quick;
  Draw(byte_loop, data, size, width, QuickScreen::kOff, 64 * 1024);
  for (QuickScreen way : {QuickScreen::kOn, QuickScreen::kWithAvx2, QuickScreen::kWithoutAvx}) {
    for (std::size_t chunk_size : {std::size_t{64 * 1024}, chunk}) {
      Draw(quick, data, size, width, way, chunk_size);
      const std::string difference = testkit::ScreenDifference(quick, byte_loop);
      Check(difference.empty(), "quick steps differ:",
            difference + " (way " + std::to_string(static_cast<int>(way)) + ", chunks of " +
                std::to_string(chunk_size) + ")");
    }
  }
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckSummary(byte_loop, SummarizeScreen(byte_loop), bytes.substr(0, bytes.find('\x1a')));

  // The catalogue's read: the bytes streamed in chunks beside the scan and the digest, at the
  // width a file without a record is drawn at.
  if (width == kDefaultScreenWidth) {
    static ArtTools tools;
    tools.Drawing.Quick = QuickScreen::kOn;
    std::size_t at = 0;
    const NextChunk next = [&]() {
      const std::size_t count = std::min(chunk, size - at);
      at += count;
      return std::span<const uint8_t>(data + at - count, count);
    };
    ArtFacts facts;
    StreamFacts(facts, "art", next, std::nullopt, tools);
    // Only ANSI and plain text with no record end where the byte loop ends: other art has a
    // reader of its own, what is not art no screen, and a record ends the art before it.
    if (HasScreen(facts.Format) && !ReadsOwnCells(facts.Format) && !facts.Sauce.Present)
      Check(testkit::ScreenDifference(tools.Drawing, byte_loop).empty(),
            "the streamed screen differs", "");
  }
  return 0;
}
