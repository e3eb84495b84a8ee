// The ANSI escape-sequence interpreter: follows "ESC [ parameters final" sequences to move the
// emulated cursor and change the attribute, and charges every drawn cell to its colours.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "scan/byte_classes.h"
#include "scan/scan_state.h"

namespace tintrel {

enum ParserStateKind : uint8_t { StateNormal, StateEscape, StateCsi };

// The parameter characters of the sequence being read. NextParam consumes them from Start on,
// so reading the parameters of a long sequence never moves bytes.
struct ParamText {
  std::array<char, 255> Chars{};
  uint8_t Length = 0;
  uint8_t Start = 0;
};

// The interpreter's state for one scan.
struct Interpreter {
  ScanState& Scan;
  PositionSink Positions;  // receives the cursor position reports
  ParserStateKind ParserState = StateNormal;
  ParamText Params{};
  // Where "u" returns to when no "s" came first: the home position.
  uint8_t SavedX = 1, SavedY = 1;
};

// Takes one byte of the file, in file order.
void ProcessChar(Interpreter& in, uint8_t b);

// Takes one byte that arrived inside a control sequence: a parameter character or its end.
void HandleCsiFinal(Interpreter& in, uint8_t b);

// Applies "ESC [ params m" straight from its parameter characters, as the byte-by-byte path
// would. Returns false, changing nothing, when a parameter has more than 9 digits: numbers that
// may pass the 32-bit limit are left to the byte-by-byte path.
bool ApplyRenditionBytes(Interpreter& in, const uint8_t* params, std::size_t length);

// The value of the first parameter, which it removes with the character that ended it.
int32_t NextParam(Interpreter& in);

void ResetParser(Interpreter& in);

}  // namespace tintrel
