// SPDX-License-Identifier: MIT
#include "scan/escape_interpreter.h"

#include <limits>

namespace tintrel {

namespace {

// ANSI colour index (black, red, green, yellow, blue, magenta, cyan, white) to colour number.
constexpr std::array<uint8_t, 8> AnsiColorMap = {0, 4, 2, 6, 1, 5, 3, 7};

// Row and column moves read a count in which 0, missing or empty means 1. A count of more than
// 255 moves as far as 255 would: no coordinate is further than that from its limit.
uint8_t WholeCount(ParamReader& params) {
  int32_t n = NextParam(params);
  return n == 0 ? 1 : static_cast<uint8_t>(std::min(n, 255));
}

uint8_t ByteCount(ParamReader& params) {
  auto n = static_cast<uint8_t>(NextParam(params));
  return n == 0 ? 1 : n;
}

constexpr std::size_t kColumn = 0, kRow = 1;

// Up or back: the cursor stops at row or column 1.
Effect CursorTowardsHome(std::size_t axis, uint8_t n) {
  Effect effect;
  effect.Sub[axis] = n;
  effect.Low[axis] = 1;
  return effect;
}

Effect CursorDown(uint8_t n) {
  Effect effect;
  effect.Wrap[kRow] = n;
  return effect;
}

// A cursor already past column 80 (tabs and positioning allow it) comes back to 80.
Effect CursorForward(uint8_t n) {
  Effect effect;
  effect.Add[kColumn] = n;
  effect.High[kColumn] = kLastColumn;
  return effect;
}

Effect ToColumn(uint8_t column) {
  Effect effect;
  effect.Low[kColumn] = effect.High[kColumn] = column;
  return effect;
}

Effect CursorNextLine(uint8_t n) {
  Effect effect = ToColumn(1);
  effect.Wrap[kRow] = n;
  return effect;
}

Effect CursorPosition(uint8_t row, uint8_t column) {
  Effect effect = ToColumn(column);
  effect.Low[kRow] = effect.High[kRow] = row;
  return effect;
}

Effect WithFlags(uint8_t flags) {
  Effect effect;
  effect.Flags = flags;
  return effect;
}

// What each rendition value does to the attribute, other than reverse: attr & Keep | Set.
struct RenditionStep {
  uint8_t Keep = 0xFF;
  uint8_t Set = 0;
};

constexpr std::array<RenditionStep, 256> kRenditionSteps = [] {
  std::array<RenditionStep, 256> steps{};
  steps[0] = {0, 7};
  steps[1] = {0xFF, 8};
  steps[5] = {0xFF, 128};
  for (uint8_t i = 0; i < 8; ++i) {
    steps[30 + i] = {248, AnsiColorMap[i]};
    // Setting a background clears blink.
    steps[40 + i] = {15, static_cast<uint8_t>(AnsiColorMap[i] << 4)};
  }
  return steps;
}();

// The parameters, left to right, folded into one change of the attribute. Reversing what is kept
// and set is the same as reversing the result, and two reversals only drop high intensity.
Effect ApplyRendition(ParamReader& params) {
  Effect effect;
  if (params.At == params.End) {
    effect.AttrKeep = 0;
    effect.AttrSet = 7;
    return effect;
  }
  while (params.At < params.End) {
    auto v = static_cast<uint8_t>(NextParam(params));
    if (v == 7) {
      effect.Flags ^= kReverse;
      effect.AttrKeep = Reversed(effect.AttrKeep);
      effect.AttrSet = Reversed(effect.AttrSet);
    } else {
      effect.AttrKeep &= kRenditionSteps[v].Keep;
      effect.AttrSet =
          static_cast<uint8_t>((effect.AttrSet & kRenditionSteps[v].Keep) | kRenditionSteps[v].Set);
    }
  }
  return effect;
}

// Only "[" continues a sequence; any other byte after ESC is dropped with it.
void ProcessEscape(Interpreter& in, uint8_t b) {
  ResetParser(in);
  if (b == '[') in.ParserState = StateCsi;
}

void ProcessNormal(Interpreter& in, uint8_t b) {
  switch (ClassOf(b)) {
    case ByteClass::kEscape: in.ParserState = StateEscape; return;
    case ByteClass::kControl: return ApplyEffect(in.Drawing, ControlEffect(b));
    // "|" and the end mark reach the interpreter only as ordinary cells.
    case ByteClass::kCell:
    case ByteClass::kPipe:
    case ByteClass::kEndMark: return DrawCells(in.Drawing, 1, IsHigh(b));
  }
}

}  // namespace

int32_t NextParam(ParamReader& params) {
  int64_t value = 0;
  const uint8_t* at = params.At;
  while (at < params.End && *at >= '0' && *at <= '9') {
    int64_t next = value * 10 + (*at - '0');
    if (next > std::numeric_limits<int32_t>::max()) break;
    value = next;
    ++at;
  }
  // The character that stopped the reading goes with the parameter.
  params.At = at < params.End ? at + 1 : params.End;
  return static_cast<int32_t>(value);
}

Effect SequenceEffect(const uint8_t* params, std::size_t length, uint8_t final) {
  ParamReader reader{params, params + length};
  switch (final) {
    case 'A': return CursorTowardsHome(kRow, WholeCount(reader));
    case 'B': return CursorDown(ByteCount(reader));
    case 'C': return CursorForward(WholeCount(reader));
    case 'D': return CursorTowardsHome(kColumn, WholeCount(reader));
    case 'E': return CursorNextLine(ByteCount(reader));
    case 'G': return ToColumn(1);
    case 'H':
    case 'f': {
      uint8_t row = ByteCount(reader);
      return CursorPosition(row, ByteCount(reader));
    }
    case 'J': return CursorPosition(1, 1);
    case 'K': return WithFlags(kErase);
    case 'm': return ApplyRendition(reader);
    case 'n': return WithFlags(kReport);
    case 's': return WithFlags(kSave);
    case 'u': return WithFlags(kRestore);
    default: return {};
  }
}

Effect ControlEffect(uint8_t b) {
  Effect effect;
  switch (b) {
    case 9: effect.Wrap[kColumn] = 8; break;
    case 12: effect = CursorPosition(1, 1); break;
    // Shift-out and shift-in draw a cell but are neither low nor high characters.
    case 14:
    case 15:
      effect.Cells = 1;
      effect.Flags = kNoCharacter;
      break;
    default: break;  // 0 and line feed do nothing
  }
  return effect;
}

Interpreter::Interpreter(ScanState& scan, const PositionSink& positions) : Scan(scan) {
  Drawing.Attr = scan.CurrentAttr;
  Drawing.Cursor = CursorAt(scan.CursorX, scan.CursorY);
  Drawing.Counts = &Counts;
  Drawing.Positions = positions;
}

void ResetParser(Interpreter& in) {
  in.ParserState = StateNormal;
  in.Params.Length = 0;
}

void HandleCsiFinal(Interpreter& in, uint8_t b) {
  if (IsParamChar(b)) {
    // Characters beyond the 255th are dropped; the sequence still ends at its final byte.
    if (in.Params.Length < in.Params.Chars.size()) in.Params.Chars[in.Params.Length++] = b;
    return;
  }
  ApplyEffect(in.Drawing, SequenceEffect(in.Params.Chars.data(), in.Params.Length, b));
  ResetParser(in);
}

void ProcessChar(Interpreter& in, uint8_t b) {
  switch (in.ParserState) {
    case StateNormal: return ProcessNormal(in, b);
    case StateEscape: return ProcessEscape(in, b);
    case StateCsi: return HandleCsiFinal(in, b);
  }
}

void Settle(Interpreter& in) {
  ScanState& scan = in.Scan;
  Pen& pen = in.Drawing;
  scan.CurrentAttr = pen.Attr;
  SetCursor(scan, ColumnOf(pen.Cursor), RowOf(pen.Cursor));
  int64_t charged = 0;
  for (std::size_t attr = 0; attr < in.Counts.ByAttr.size(); ++attr) {
    int64_t& cells = in.Counts.ByAttr[attr];
    if (cells == 0) continue;
    charged += cells;
    scan.ColorTable[ForegroundOf(static_cast<uint8_t>(attr)) & 7].Count += cells;
    scan.ColorTable[BackgroundOf(static_cast<uint8_t>(attr)) & 7].Count += cells;
    cells = 0;
  }
  scan.LowAsciiCount += charged - pen.NotCharacters - pen.High;
  scan.HighAsciiCount += pen.High;
  pen.NotCharacters = pen.High = 0;
  for (std::size_t color = 0; color < 8; ++color) {
    scan.ColorTable[color].Count += in.Counts.ByPipeColor[color];
    in.Counts.ByPipeColor[color] = 0;
  }
}

}  // namespace tintrel
