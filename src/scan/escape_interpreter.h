// SPDX-License-Identifier: MIT
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
#include <cstring>

#include "scan/byte_classes.h"
#include "scan/scan_state.h"
#include "simd/processor.h"

#if TINTREL_SSE2
#include <emmintrin.h>
#endif

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
// A cursor has the column in its low byte and the row in its high byte, so that one step moves
// both.
struct Pen {
  uint8_t Attr = 7;
  uint16_t Cursor = 0x0101;
  uint16_t Saved = 0x0101;  // where "u" returns to when no "s" came first: the home position
  // Of the cells charged, those that count as no character: erased ones, shift-out and shift-in.
  // Every other cell is a low or a high character.
  int64_t NotCharacters = 0;
  int64_t High = 0;  // the high characters
  CellCounts* Counts = nullptr;
  PositionSink Positions;  // receives the cursor position reports
};

constexpr uint16_t CursorAt(uint8_t column, uint8_t row) {
  return static_cast<uint16_t>(column | row << 8);
}
constexpr uint8_t ColumnOf(uint16_t cursor) {
  return static_cast<uint8_t>(cursor);
}
constexpr uint8_t RowOf(uint16_t cursor) {
  return static_cast<uint8_t>(cursor >> 8);
}

// What an event does to the pen, all parts at once. Each coordinate, the column in [0] and the
// row in [1], first goes Wrap further modulo 256, then Add further and Sub back, neither passing
// 255 nor 0, and is then held between Low and High. The attribute becomes
// ((kReverse ? reversed : as it is) & AttrKeep) | AttrSet.
struct Effect {
  std::array<uint8_t, 2> Wrap{}, Add{}, Sub{}, Low{};
  std::array<uint8_t, 2> High = {255, 255};
  uint8_t AttrKeep = 0xFF, AttrSet = 0;
  uint8_t Cells = 0;  // cells drawn under the attribute, low characters unless kNoCharacter
  uint8_t PipeColor = kNoPipeColor;
  uint8_t Flags = 0;

  bool operator==(const Effect&) const = default;
};

inline constexpr uint8_t kReverse = 1;       // reverse the attribute before AttrKeep and AttrSet
inline constexpr uint8_t kErase = 2;         // charge the cells from the cursor to column 80
inline constexpr uint8_t kSave = 4;          // remember the cursor
inline constexpr uint8_t kRestore = 8;       // go back to the remembered cursor
inline constexpr uint8_t kNoCharacter = 16;  // the cells count as no character
inline constexpr uint8_t kReport = 32;       // report the cursor position

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

// A "|" that starts no pipe code, taken as a step of its own: one low character drawn.
inline Effect LowCellEffect() {
  Effect effect;
  effect.Cells = 1;
  return effect;
}

// A run of `cells` drawn cells, `high` of them high characters.
inline void DrawCells(Pen& pen, int64_t cells, int64_t high) {
  pen.Counts->ByAttr[pen.Attr] += cells;
  pen.High += high;
}

// The cursor after the effect's step.
inline uint16_t MoveCursor(uint16_t cursor, const Effect& effect) {
#if TINTREL_SSE2
  // Both coordinates in the low two lanes; the operands a pair of lanes each above them.
  __m128i operands = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(effect.Wrap.data()));
  uint16_t high;
  std::memcpy(&high, effect.High.data(), sizeof high);
  operands = _mm_insert_epi16(operands, high, 4);
  __m128i moved = _mm_add_epi8(_mm_cvtsi32_si128(cursor), operands);
  moved = _mm_adds_epu8(moved, _mm_shufflelo_epi16(operands, 1));
  moved = _mm_subs_epu8(moved, _mm_shufflelo_epi16(operands, 2));
  moved = _mm_max_epu8(moved, _mm_shufflelo_epi16(operands, 3));
  moved = _mm_min_epu8(moved, _mm_shuffle_epi32(operands, 2));
  return static_cast<uint16_t>(_mm_cvtsi128_si32(moved));
#else
  std::array<uint8_t, 2> coordinates = {ColumnOf(cursor), RowOf(cursor)};
  for (std::size_t axis = 0; axis < 2; ++axis) {
    int v = static_cast<uint8_t>(coordinates[axis] + effect.Wrap[axis]);
    v = std::max(std::min(v + effect.Add[axis], 255) - effect.Sub[axis], 0);
    coordinates[axis] =
        static_cast<uint8_t>(std::min<int>(std::max<int>(v, effect.Low[axis]), effect.High[axis]));
  }
  return CursorAt(coordinates[0], coordinates[1]);
#endif
}

inline constexpr uint8_t kSeldomFlags = kReverse | kErase | kNoCharacter | kReport;

// Reverse video, an erase, shift-out or shift-in and a report: effects that do nothing else, and
// leave the cells before them drawn under the attribute they found. Returns whether the effect
// asks for a report.
inline bool TakeSeldomParts(Pen& pen, const Effect& effect) {
  const uint8_t flags = effect.Flags;
  if (flags & kReverse) pen.Attr = Reversed(pen.Attr);
  if (flags & kErase) {
    const int erased = std::max(kLastColumn - ColumnOf(pen.Cursor), 0);
    pen.Counts->ByAttr[pen.Attr] += erased;
    pen.NotCharacters += erased;
  }
  if (flags & kNoCharacter) pen.NotCharacters += effect.Cells;
  return (flags & kReport) != 0;
}

// Carries out every part of the effect but the report; returns whether it asks for one. Only
// the seldom parts take a branch.
inline bool MoveAndCharge(Pen& pen, const Effect& effect) {
  // Every part is read before the counts are written, which the compiler cannot tell apart.
  const uint8_t flags = effect.Flags, cells = effect.Cells, pipe_color = effect.PipeColor;
  const uint8_t keep = effect.AttrKeep, set = effect.AttrSet;
  const uint16_t moved = MoveCursor(pen.Cursor, effect);
  bool report = false;
  if (flags & kSeldomFlags) [[unlikely]]
    report = TakeSeldomParts(pen, effect);
  // Effects that draw cells, save or restore leave the attribute and the cursor as they are.
  pen.Counts->ByAttr[pen.Attr] += cells;
  pen.Counts->ByPipeColor[pipe_color] += 1;
  pen.Saved = (flags & kSave) ? pen.Cursor : pen.Saved;
  pen.Cursor = (flags & kRestore) ? pen.Saved : moved;
  pen.Attr = static_cast<uint8_t>((pen.Attr & keep) | set);
  return report;
}

inline void ReportPosition(const Pen& pen) {
  if (pen.Positions.Report != nullptr)
    pen.Positions.Report(pen.Positions.Context, RowOf(pen.Cursor), ColumnOf(pen.Cursor));
}

inline void ApplyEffect(Pen& pen, const Effect& effect) {
  if (MoveAndCharge(pen, effect)) ReportPosition(pen);
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
