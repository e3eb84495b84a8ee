#include "scan/escape_interpreter.h"

#include <algorithm>
#include <limits>

namespace tintrel {

namespace {

constexpr int64_t kLastColumn = 80;

// ANSI colour index (black, red, green, yellow, blue, magenta, cyan, white) to colour number.
constexpr std::array<uint8_t, 8> AnsiColorMap = {0, 4, 2, 6, 1, 5, 3, 7};

// Row and column moves read a count in which 0, missing or empty means 1.
int64_t WholeCount(Interpreter& in) {
  int32_t n = NextParam(in);
  return n == 0 ? 1 : n;
}

uint8_t ByteCount(Interpreter& in) {
  auto n = static_cast<uint8_t>(NextParam(in));
  return n == 0 ? 1 : n;
}

void CursorUp(Interpreter& in) {
  int64_t row = std::max<int64_t>(1, in.Scan.CursorY - WholeCount(in));
  SetCursor(in.Scan, in.Scan.CursorX, static_cast<uint8_t>(row));
}

void CursorDown(Interpreter& in) {
  SetCursor(in.Scan, in.Scan.CursorX, static_cast<uint8_t>(in.Scan.CursorY + ByteCount(in)));
}

// A cursor already past column 80 (tabs and positioning allow it) comes back to 80.
void CursorForward(Interpreter& in) {
  int64_t column = std::min(kLastColumn, in.Scan.CursorX + WholeCount(in));
  SetCursor(in.Scan, static_cast<uint8_t>(column), in.Scan.CursorY);
}

void CursorBack(Interpreter& in) {
  int64_t column = std::max<int64_t>(1, in.Scan.CursorX - WholeCount(in));
  SetCursor(in.Scan, static_cast<uint8_t>(column), in.Scan.CursorY);
}

void CursorNextLine(Interpreter& in) {
  SetCursor(in.Scan, 1, static_cast<uint8_t>(in.Scan.CursorY + ByteCount(in)));
}

void CursorPosition(Interpreter& in) {
  uint8_t row = ByteCount(in);
  uint8_t column = ByteCount(in);
  SetCursor(in.Scan, column, row);
}

// Erasing to the end of the line lays down the cells up to column 80 in the current colours.
void EraseToLineEnd(Interpreter& in) {
  if (in.Scan.CursorX < kLastColumn) AddToTally(in.Scan, kLastColumn - in.Scan.CursorX);
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

uint8_t Rendition(uint8_t attr, uint8_t v) {
  if (v == 7) {
    attr &= 247;  // reverse drops high intensity, keeps blink
    return static_cast<uint8_t>(((attr >> 4) & 7) | ((attr & 7) << 4) | (attr & 128));
  }
  return static_cast<uint8_t>((attr & kRenditionSteps[v].Keep) | kRenditionSteps[v].Set);
}

void ApplyRendition(Interpreter& in) {
  ParamText& params = in.Params;
  if (params.Length == 0) {
    in.Scan.CurrentAttr = 7;
    return;
  }
  while (params.Start < params.Length) {
    in.Scan.CurrentAttr = Rendition(in.Scan.CurrentAttr, static_cast<uint8_t>(NextParam(in)));
  }
}

void ReportPosition(Interpreter& in) {
  if (in.Positions.Report != nullptr)
    in.Positions.Report(in.Positions.Context, in.Scan.CursorY, in.Scan.CursorX);
}

// The controls of the normal state; every other byte there is ESC or a drawn cell.
void TakeControl(ScanState& scan, uint8_t b) {
  switch (b) {
    case 9: return SetCursor(scan, static_cast<uint8_t>(scan.CursorX + 8), scan.CursorY);
    case 12: return SetCursor(scan, 1, 1);
    // Shift-out and shift-in draw a cell but are neither low nor high characters.
    case 14:
    case 15: return AddToTally(scan, 1);
    default: return;  // 0 and line feed do nothing
  }
}

void RunFinal(Interpreter& in, uint8_t b) {
  ScanState& scan = in.Scan;
  switch (b) {
    case 'A': return CursorUp(in);
    case 'B': return CursorDown(in);
    case 'C': return CursorForward(in);
    case 'D': return CursorBack(in);
    case 'E': return CursorNextLine(in);
    case 'G': return SetCursor(scan, 1, scan.CursorY);
    case 'H':
    case 'f': return CursorPosition(in);
    case 'J': return SetCursor(scan, 1, 1);
    case 'K': return EraseToLineEnd(in);
    case 'm': return ApplyRendition(in);
    case 'n': return ReportPosition(in);
    case 's':
      in.SavedX = scan.CursorX;
      in.SavedY = scan.CursorY;
      return;
    case 'u': return SetCursor(scan, in.SavedX, in.SavedY);
    default: return;
  }
}

void ProcessNormal(Interpreter& in, uint8_t b) {
  ScanState& scan = in.Scan;
  switch (ClassOf(b)) {
    case ByteClass::kEscape: in.ParserState = StateEscape; return;
    case ByteClass::kControl: return TakeControl(scan, b);
    // "|" and the end mark reach the interpreter only as ordinary cells.
    case ByteClass::kCell:
    case ByteClass::kPipe:
    case ByteClass::kEndMark:
      AddToTally(scan, 1);
      // Art mixes low and high bytes at random, so the count is taken without a branch.
      scan.LowAsciiCount += !IsHigh(b);
      scan.HighAsciiCount += IsHigh(b);
  }
}

// Only "[" continues a sequence; any other byte after ESC is dropped with it.
void ProcessEscape(Interpreter& in, uint8_t b) {
  ResetParser(in);
  if (b == '[') in.ParserState = StateCsi;
}

}  // namespace

void ResetParser(Interpreter& in) {
  in.ParserState = StateNormal;
  in.Params.Length = 0;
  in.Params.Start = 0;
}

int32_t NextParam(Interpreter& in) {
  ParamText& params = in.Params;
  int64_t value = 0;
  uint8_t at = params.Start;
  while (at < params.Length && params.Chars[at] >= '0' && params.Chars[at] <= '9') {
    int64_t next = value * 10 + (params.Chars[at] - '0');
    // A digit that would pass the 32-bit limit ends the parameter and is dropped.
    if (next > std::numeric_limits<int32_t>::max()) break;
    value = next;
    ++at;
  }
  // The character that stopped the reading goes with the parameter.
  params.Start = at < params.Length ? static_cast<uint8_t>(at + 1) : params.Length;
  return static_cast<int32_t>(value);
}

void HandleCsiFinal(Interpreter& in, uint8_t b) {
  if (IsParamChar(b)) {
    // Characters beyond the 255th are dropped; the sequence still ends at its final byte.
    if (in.Params.Length < in.Params.Chars.size())
      in.Params.Chars[in.Params.Length++] = static_cast<char>(b);
    return;
  }
  RunFinal(in, b);
  ResetParser(in);
}

bool ApplyRenditionBytes(Interpreter& in, const uint8_t* params, std::size_t length) {
  uint8_t attr = 7;
  if (length > 0) attr = in.Scan.CurrentAttr;
  for (std::size_t at = 0; at < length;) {
    uint32_t value = 0;
    std::size_t first_digit = at;
    while (at < length && params[at] >= '0' && params[at] <= '9')
      value = value * 10 + (params[at++] - '0');
    if (at - first_digit > 9) return false;
    ++at;  // the character that ended the parameter goes with it
    attr = Rendition(attr, static_cast<uint8_t>(value));
  }
  in.Scan.CurrentAttr = attr;
  return true;
}

void ProcessChar(Interpreter& in, uint8_t b) {
  switch (in.ParserState) {
    case StateNormal: return ProcessNormal(in, b);
    case StateEscape: return ProcessEscape(in, b);
    case StateCsi: return HandleCsiFinal(in, b);
  }
}

}  // namespace tintrel
