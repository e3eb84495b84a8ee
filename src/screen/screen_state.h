// SPDX-License-Identifier: MIT
// The screen's plain state: the grid of cells, the cursor and the pen, and the byte loop's
// place, which the events, the steps and the quick steps all change. screen.h feeds and reads it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "screen/screen_steps.h"
#include "screen/vga_palette.h"

namespace tintrel {

inline constexpr uint32_t kDefaultScreenWidth = 80;
inline constexpr uint32_t kMaxScreenWidth = 1024;
inline constexpr std::size_t kStoredCells = 160'000;
inline constexpr std::size_t kSniffSize = 4096;

struct Cell {
  uint8_t Glyph = 0;
  uint8_t Attr = 0;  // bits 0-3 foreground, 4-7 background, VGA colours

  bool operator==(const Cell&) const = default;
};

// The colours a viewer shows a cell in, where the art set true colours.
struct CellColors {
  Rgb Fg, Bg;

  bool operator==(const CellColors&) const = default;
};

// The true colours the pen draws with, where a sequence set them.
struct TruePen {
  uint8_t Which = 0;  // kTrueFg, kTrueBg: which of the two are set
  Rgb Fg, Bg;
};

enum class Charset : uint8_t { kAscii, kUtf8, kCp437 };

// Per stored row: how far drawing reached on it in the current frame, and how far it holds cells.
struct RowMarks {
  uint32_t Frame = 0;    // the frame FrameHi belongs to
  uint32_t FrameHi = 0;  // right of the rightmost glyph drawn in that frame
  uint32_t HeldHi = 0;   // every cell from here on is as nothing reached it
};

// The parameter characters of the sequence being read byte by byte.
struct ScreenParams {
  std::array<uint8_t, 255> Chars{};
  uint8_t Length = 0;
};

enum class ScreenParser : uint8_t { kNormal, kEscape, kSequence, kPipe, kUtf8 };

// Whether the byte loop hands what it can to the quick steps, and with which of the processor's
// instructions: the best it has (AVX-512 or AVX2 where it has them), AVX2 at most, or those every
// processor has. All draw the same screen; the byte loop alone is the reference.
enum class QuickScreen : uint8_t { kOff, kOn, kWithAvx2, kWithoutAvx };

struct SequenceCache;

struct Screen {
  uint32_t Width = kDefaultScreenWidth;
  uint32_t RowCap = kStoredCells / kDefaultScreenWidth;  // rows kept

  // The cursor (from 0) and what the next glyph is drawn with.
  uint32_t Row = 0, Column = 0, SavedRow = 0, SavedColumn = 0;
  uint16_t Pen = kFreshPen;  // the colour state that Attr is made of, and kPenExtended
  uint8_t Attr = 7;

  // The stored rows, each ready (cleared) once drawing first reached it.
  std::vector<Cell> Cells;
  // Once the art sets its first true colour (24-bit, or 256-colour past the first 16), every
  // stored cell's colours as a viewer shows them, one per cell of Cells; until then empty, and
  // each cell's colours are those of its attribute.
  bool TrueColor = false;
  TruePen True;
  std::vector<CellColors> TrueColors;
  std::vector<RowMarks> Marks;
  uint32_t RowsReady = 0;

  // What was drawn below the stored rows, counted as it was drawn: the cells by attribute, all
  // of them and those whose glyph has ink, and their visible extent.
  std::array<int64_t, 256> BelowByAttr{}, BelowInkedByAttr{};
  uint32_t BelowWidth = 0;
  uint64_t BelowLines = 0;

  uint32_t Frame = 1;  // the current frame's stamp in RowMarks
  uint64_t Frames = 0;
  bool FrameOpen = false;  // a glyph was drawn since the start or the last 2J

  // The reading: the character set, the bytes held back to decide it, the byte loop's state.
  Charset Characters = Charset::kAscii;
  bool Sniffing = false;
  std::vector<uint8_t> Sniffed;
  ScreenParser Parser = ScreenParser::kNormal;
  ScreenParams Params;
  std::array<uint8_t, 4> Pending{};  // the bytes after "|", or of a UTF-8 character so far
  uint8_t PendingCount = 0;
  bool Ended = false;

  QuickScreen Quick = QuickScreen::kOn;
  std::unique_ptr<SequenceCache> Cache;  // made by the first quick step

  Screen();
  ~Screen();
  Screen(Screen&&) noexcept;
  Screen& operator=(Screen&&) noexcept;
};

}  // namespace tintrel
