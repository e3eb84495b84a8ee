// SPDX-License-Identifier: MIT
// The screen: a model of the terminal a drawing was made for. It follows the bytes as a viewer
// of ANSI art does (ANSI.SYS and the BBS terminals) and keeps the picture they leave: a grid of
// cells, each a glyph and its attribute, from which come how wide and tall the drawing is, its
// character set, whether it needs iCE colours, how many frames it draws and which of the 16
// colours show at the end. It reads nothing itself: the caller feeds it the chunks it reads.
//
// The grid, for a renderer: StoredRows(screen) rows of screen.Width cells, row-major, row 1
// first (ScreenRow). A cell is a code-page-437 glyph byte and a VGA attribute byte: bits 0-3 the
// foreground, bits 4-7 the background, both 0-15 in VGA order (1 blue, 4 red, 6 brown, 7 light
// gray, 8 dark gray, 15 white); a bright background is an iCE colour, never blink. 256-colour and
// 24-bit colours are stored as the nearest of the 16 VGA colours; from the first of them on, the
// screen keeps every stored cell's colours as a viewer shows them beside it (TrueColors). A cell
// nothing reached holds glyph 0 on attribute 0, which shows as an empty black cell.
//
// Where viewers differ, this model decides so (man/tintrel-catalog.1 says the same):
// - Width: 80 columns, or the width the caller passes (1 to kMaxScreenWidth; the catalogue
//   passes the SAUCE width of Character and BinaryText files where it is wider than 80).
// - Wrap: a glyph drawn in the last column moves the cursor at once to column 1 of the next
//   line, as ANSI.SYS, PabloDraw and ansilove do. A CR LF right after exactly a full line
//   therefore leaves an empty line; art drawn for these screens ends full lines without one.
// - Line ends: LF goes to column 1 of the next line, alone or after CR (so art saved with Unix
//   line ends draws as its maker saw it); CR alone goes to column 1 of the same line.
// - Tab goes to the next stop of every 8 columns, held at the last column, and draws nothing.
//   TAB, LF, CR and ESC are the only controls: every other byte is drawn as its glyph (the
//   smiling face for 1, the blank 0), as the viewers draw them.
// - ESC followed by anything but "[" is dropped; the byte after it is read as usual. A sequence's
//   parameters are digits, ";" and "?"; the first other byte ends it, and an unknown final byte
//   does nothing. A "|" and two digits from 00 to 23 is a pipe code; any other "|" is a glyph.
// - Cursor moves A, B, C, D (0 or none counts 1), H and f stop at row 1, column 1 and the last
//   column; the screen grows downwards without end. "u" without an earlier "s" goes home.
// - K (or 0K) erases from the cursor to the line's end to spaces in the current colours; 2J
//   empties the whole screen, as a fresh one, and homes the cursor; other K and J do nothing.
// - Colours (SGR): 0, 1 (bright foreground), 5 (blink: a bright background, as under iCE), 7
//   (reverse), 8 (conceal), 22, 25, 27, 28, 30-37, 39, 40-47, 49, 90-97, 100-107, and 38 / 48
//   with 5;n or 2;r;g;b; other values do nothing. A colour leaves bold and blink as they were.
//   Reverse swaps the two colours first; bold then brightens the foreground and blink the
//   background when they were set by 30-37, 39, 40-47 or 49. "ESC[0;r;g;bt" sets a 24-bit
//   background, "ESC[1;r;g;bt" a foreground (a missing number counts 0, one above 255 counts 255).
//   A 256-colour or 24-bit colour becomes the nearest VGA colour (distance in RGB; 256-colour 0-15
//   are the 16 colours themselves; the others keep their xterm RGB beside the cell). A later colour
//   of the same side, in the same sequence or another, replaces a true colour. Pipe codes |00-|15 set the foreground (|08-|15 as bold),
//   |16-|23 the background, blink off.
// - The art ends at the first byte 26; a SAUCE record behind it is never drawn.
// - Character set: ASCII until the first byte of 128 or more. From that byte on, up to 4 KiB
//   (kSniffSize, or up to the end of the art) are held back and looked at whole: valid UTF-8
//   makes the file UTF-8, anything else code page 437, and the held bytes are drawn once that
//   is known. The answer never depends on how the bytes were cut into chunks. In a UTF-8 file a
//   character becomes its code-page-437 glyph; one with none becomes "?" (U+FEFF, the byte-order
//   mark, draws nothing), and a byte that starts no valid character is drawn as its own
//   code-page-437 glyph. Every character takes one cell.
// - Frames: the first glyph drawn starts frame 1. A glyph starts the next frame when it lands
//   on a row at or left of the rightmost glyph the current frame drew on that row (going home
//   or up and drawing again, overprinting after CR), and the first glyph after a 2J does. A
//   still has 1 frame, an animation many, a file that draws no glyph 0.
// - What shows: a cell is visible when its background is not black, or its glyph has ink (not
//   0, 32 or 255) in a foreground other than black. The width and the lines are those of the
//   rightmost and the lowest visible cell. The background counts cover every cell of that
//   rectangle (black where nothing was drawn); the foreground counts cover the glyphs with ink
//   whose foreground differs from their background.
// - Memory: only the first kStoredCells cells of rows are kept (2,000 rows at 80 columns); what
//   is drawn below them is counted as it is drawn, so a cell drawn twice there counts twice and
//   its redraws start no frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "screen/screen_state.h"

namespace tintrel {

// What the screen shows at the end.
struct ScreenSummary {
  uint32_t Width = 0;  // the rightmost column of a visible cell, from 1; 0 when nothing shows
  uint64_t Lines = 0;  // the lowest line of a visible cell, from 1
  Charset Characters = Charset::kAscii;
  bool Ice = false;             // a visible cell has a bright background
  bool ExtendedColors = false;  // 256-colour or 24-bit colour was asked for
  uint64_t Frames = 0;
  std::array<int64_t, 16> Foreground{}, Background{};  // by VGA colour

  bool operator==(const ScreenSummary&) const = default;
};

// Starts a new drawing at `width` columns (held to 1..kMaxScreenWidth), keeping the memory and
// the sequence cache of the last one.
void ResetScreen(Screen& screen, uint32_t width = kDefaultScreenWidth);

// Draws the next chunk of the file; true once the art has ended (at a byte 26), after which
// nothing more is looked at.
bool FeedScreen(Screen& screen, const uint8_t* bytes, std::size_t size);

// The file is over: what was held back is drawn now.
void FinishScreen(Screen& screen);

ScreenSummary SummarizeScreen(const Screen& screen);

inline uint32_t StoredRows(const Screen& screen) {
  return screen.RowsReady;
}

// Row `row` of the stored rows, from 0.
inline std::span<const Cell> ScreenRow(const Screen& screen, uint32_t row) {
  return {screen.Cells.data() + std::size_t{row} * screen.Width, screen.Width};
}

// A whole drawing in memory, fed in chunks of `chunk_size` bytes.
void DrawMemory(Screen& screen, const uint8_t* bytes, std::size_t size,
                std::size_t chunk_size = 64 * 1024);

}  // namespace tintrel
