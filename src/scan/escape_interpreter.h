// The ANSI escape-sequence interpreter: follows "ESC [ parameters final" sequences to move the
// emulated cursor and change the attribute, and charges every drawn cell to its colours.
//
// Its rules are events that both the byte loop and the quick steps of the scanner call: a run of
// drawn cells, and the Effect of a control byte, of a whole sequence or of a pipe code, which
// ApplyEffect carries out on the Pen.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "scan/byte_classes.h"
#include "scan/scan_state.h"

namespace tintrel {

enum ParserStateKind : uint8_t { StateNormal, StateEscape, StateCsi };

// Cells charged while a chunk is scanned: by the attribute they were drawn under, and pipe codes
// by colour. Settle folds them into the colour table.
struct CellCounts {
  std::array<int64_t, 256> ByAttr{};
  std::array<int64_t, 9> ByPipeColor{};  // the last one counts effects that are no pipe code
};

inline constexpr uint8_t kNoPipeColor = 8;

// The attribute and cursor that cells are drawn with, and what the scan has counted since the
// scan state was last settled. Kept apart from ScanState so that a loop can hold it in registers.
struct Pen {
  uint8_t Attr = 7;
  uint8_t X = 1, Y = 1;
  // Where "u" returns to when no "s" came first: the home position.
  uint8_t SavedX = 1, SavedY = 1;
  int64_t Characters = 0;  // drawn cells that count as low or high characters
  int64_t High = 0;        // of them, the high ones
  CellCounts* Counts = nullptr;
  PositionSink Positions;  // receives the cursor position reports
};

// What an event does to the pen, all parts at once. Each coordinate v becomes
// Shift + (v + Wrap) modulo 256, held between Low and High; the attribute becomes
// ((kReverse ? reversed : as it is) & AttrKeep) | AttrSet.
struct Effect {
  int16_t ShiftX = 0, ShiftY = 0;
  uint8_t WrapX = 0, WrapY = 0;
  uint8_t LowX = 0, LowY = 0;
  uint8_t HighX = 255, HighY = 255;
  uint8_t AttrKeep = 0xFF, AttrSet = 0;
  uint8_t Cells = 0;       // cells drawn under the attribute
  uint8_t Characters = 0;  // of them, low characters
  uint8_t PipeColor = kNoPipeColor;
  uint8_t Flags = 0;

  bool operator==(const Effect&) const = default;
};

inline constexpr uint8_t kReverse = 1;  // reverse the attribute before AttrKeep and AttrSet
inline constexpr uint8_t kErase = 2;    // charge the cells from the cursor to column 80
inline constexpr uint8_t kSave = 4;     // remember the cursor
inline constexpr uint8_t kRestore = 8;  // go back to the remembered cursor
inline constexpr uint8_t kReport = 16;  // report the cursor position

inline constexpr int kLastColumn = 80;

// Reverse video: foreground and background swap, high intensity goes, blink stays.
constexpr uint8_t Reversed(uint8_t attr) {
  return static_cast<uint8_t>(((attr >> 4) & 7) | ((attr & 7) << 4) | (attr & 128));
}

// The parameter characters of a sequence, read from the first on.
struct ParamReader {
  const uint8_t* At;
  const uint8_t* End;
};

// The value of the next parameter, which it consumes with the character that ended it. A digit
// that would take the value past 2147483647 ends the parameter and is dropped.
int32_t NextParam(ParamReader& params);

// The effect of ESC [ params final; the parameter characters are at most the 255 kept.
Effect SequenceEffect(const uint8_t* params, std::size_t length, uint8_t final);

// The effect of a control byte in the normal state.
Effect ControlEffect(uint8_t b);

// A pipe code charges one cell to its colour and touches nothing else.
inline Effect PipeCodeEffect(int value) {
  Effect effect;
  effect.PipeColor = static_cast<uint8_t>(value % 8);
  return effect;
}

// A run of `cells` drawn cells, `high` of them high characters.
inline void DrawCells(Pen& pen, int64_t cells, int64_t high) {
  pen.Counts->ByAttr[pen.Attr] += cells;
  pen.Characters += cells;
  pen.High += high;
}

inline uint8_t Step(uint8_t v, int shift, uint8_t wrap, uint8_t low, uint8_t high) {
  int moved = static_cast<uint8_t>(v + wrap) + shift;
  return static_cast<uint8_t>(std::min<int>(std::max<int>(moved, low), high));
}

// Every part of the effect applies, so that a loop can carry out any effect without a branch.
inline void ApplyEffect(Pen& pen, const Effect& effect) {
  const uint8_t flags = effect.Flags;
  uint8_t attr = (flags & kReverse) ? Reversed(pen.Attr) : pen.Attr;
  pen.Attr = static_cast<uint8_t>((attr & effect.AttrKeep) | effect.AttrSet);
  pen.X = Step(pen.X, effect.ShiftX, effect.WrapX, effect.LowX, effect.HighX);
  pen.Y = Step(pen.Y, effect.ShiftY, effect.WrapY, effect.LowY, effect.HighY);
  int erased = (flags & kErase) ? std::max(kLastColumn - pen.X, 0) : 0;
  pen.Counts->ByAttr[pen.Attr] += effect.Cells + erased;
  pen.Characters += effect.Characters;
  pen.Counts->ByPipeColor[effect.PipeColor] += 1;
  if (flags & kSave) {
    pen.SavedX = pen.X;
    pen.SavedY = pen.Y;
  }
  if (flags & kRestore) {
    pen.X = pen.SavedX;
    pen.Y = pen.SavedY;
  }
  if ((flags & kReport) && pen.Positions.Report != nullptr)
    pen.Positions.Report(pen.Positions.Context, pen.Y, pen.X);
}

// The parameter characters of the sequence being read byte by byte.
struct ParamText {
  std::array<uint8_t, 255> Chars{};
  uint8_t Length = 0;
};

// The interpreter's state for one scan, over the scan state it settles into.
struct Interpreter {
  ScanState& Scan;
  Pen Drawing;
  ParserStateKind ParserState = StateNormal;
  ParamText Params{};
  CellCounts Counts{};

  Interpreter(ScanState& scan, const PositionSink& positions);
  Interpreter(const Interpreter&) = delete;  // the pen points at the counts
};

// Takes one byte of the file, in file order.
void ProcessChar(Interpreter& in, uint8_t b);

// Takes one byte that arrived inside a control sequence: a parameter character or its end.
void HandleCsiFinal(Interpreter& in, uint8_t b);

void ResetParser(Interpreter& in);

// Writes what the pen holds into the scan state: attribute, cursor, the character counts and
// the cells charged, folded into colours.
void Settle(Interpreter& in);

}  // namespace tintrel
