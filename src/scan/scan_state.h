// SPDX-License-Identifier: MIT
// Everything one scan learns about a drawing: the colour tallies, the attribute in force, the
// emulated cursor and the low/high character counts. A new ScanState is a fresh scan.
#pragma once

#include <array>
#include <cstdint>

namespace tintrel {

// Colour numbers: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 yellow, 7 gray.
struct ColorTally {
  int64_t Count = 0;    // cells charged to this colour, foreground and background together
  uint8_t Color = 0;    // the colour this entry counts
  uint8_t Percent = 0;  // share of the colour total, filled in by the statistics

  bool operator==(const ColorTally&) const = default;
};

// Position c holds colour c, with nothing charged.
constexpr std::array<ColorTally, 8> FreshColorTable() {
  std::array<ColorTally, 8> table{};
  for (uint8_t i = 0; i < table.size(); ++i) table[i].Color = i;
  return table;
}

struct ScanState {
  // The scan addresses colours by position, so position c always holds colour c here.
  std::array<ColorTally, 8> ColorTable = FreshColorTable();
  uint8_t CurrentAttr = 7;  // bits 0-2 fg, 3 bright, 4-6 bg, 7 blink
  uint8_t CursorX = 1, CursorY = 1;
  int64_t LowAsciiCount = 0, HighAsciiCount = 0;

  bool operator==(const ScanState&) const = default;
};

// Where the cursor position reports of a scan go: the scan itself writes nothing. Without a
// Report function they are dropped.
struct PositionSink {
  void (*Report)(void* context, uint8_t row, uint8_t column) = nullptr;
  void* Context = nullptr;
};

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
