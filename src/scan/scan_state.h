// Everything one scan learns about a drawing: the colour tallies, the attribute in force, the
// emulated cursor and the low/high character counts. The program has one; tests make their own.
#pragma once

#include <array>
#include <cstdint>

namespace tintrel {

// Colour numbers: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 yellow, 7 gray.
struct ColorTally {
  int64_t Count = 0;    // cells charged to this colour, foreground and background together
  uint8_t Color = 0;    // the colour this entry counts
  uint8_t Percent = 0;  // share of the colour total, filled in by the statistics
};

struct ScanState {
  // Until the statistics reorder it, position c holds colour c.
  std::array<ColorTally, 8> ColorTable{};
  uint8_t CurrentAttr = 7;  // bits 0-2 fg, 3 bright, 4-6 bg, 7 blink
  uint8_t CursorX = 0, CursorY = 0;
  int64_t LowAsciiCount = 0, HighAsciiCount = 0;
};

// Empties every tally and gives position i the colour i.
void ResetColorTable(ScanState& scan);

// Stores both coordinates; callers pass the low 8 bits of a wider position.
inline void SetCursor(ScanState& scan, uint8_t x, uint8_t y) {
  scan.CursorX = x;
  scan.CursorY = y;
}

inline uint8_t ForegroundOf(uint8_t attr) {
  return attr & 0x0F;
}
inline uint8_t BackgroundOf(uint8_t attr) {
  return attr >> 4;
}

// Charges `cells` cells to the foreground and to the background colour of CurrentAttr. Bright
// and blink bits fold away: a blinking cell still has the background colour of bits 4-6.
inline void AddToTally(ScanState& scan, int64_t cells) {
  scan.ColorTable[ForegroundOf(scan.CurrentAttr) & 7].Count += cells;
  scan.ColorTable[BackgroundOf(scan.CurrentAttr) & 7].Count += cells;
}

}  // namespace tintrel
