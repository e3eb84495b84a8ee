// SPDX-License-Identifier: MIT
#include "scan/escape_interpreter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kit/reference_scan.h"

namespace tintrel {
namespace {

using namespace std::string_literals;
using testkit::Counts;
using testkit::Gray;
using Result = testkit::ScanResult;

// Feeds the bytes to a fresh interpreter whose scan starts with the given attribute and cursor.
Result Interpret(std::string_view bytes, uint8_t attr = 7, uint8_t x = 1, uint8_t y = 1) {
  Result result;
  result.Scan.CurrentAttr = attr;
  SetCursor(result.Scan, x, y);
  Interpreter in{result.Scan, testkit::ReportsInto(result.Written)};
  for (char c : bytes) ProcessChar(in, static_cast<uint8_t>(c));
  Settle(in);
  result.Tallies = testkit::TalliesOf(result.Scan);
  return result;
}

TEST(EscapeInterpreter, NormalBytesDrawCountOrMove) {
  struct Case {
    std::string bytes;
    Counts tallies;
    int64_t low, high;
    uint8_t x, y;  // from column 5, row 3
  } cases[] = {
      {"\0"s, {}, 0, 0, 5, 3},
      {"\n", {}, 0, 0, 5, 3},       // a line feed neither draws nor moves
      {"\r", Gray(1), 1, 0, 5, 3},  // a carriage return is a drawn low character
      {"\t", {}, 0, 0, 13, 3},
      {"\f", {}, 0, 0, 1, 1},
      {"\x0e\x0f", Gray(2), 0, 0, 5, 3},  // shift-out/in: cells, neither low nor high
      {"A~\x01\x08\x0b\x1a\x1c", Gray(7), 7, 0, 5, 3},
      {"\x7f\x80\xff", Gray(3), 0, 3, 5, 3},  // 127 and above are high
      {"ab\xb0", Gray(3), 2, 1, 5, 3},        // drawing does not advance the cursor
  };
  for (const Case& c : cases) {
    Result r = Interpret(c.bytes, 7, 5, 3);
    EXPECT_EQ(r.Tallies, c.tallies) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Scan.LowAsciiCount, c.low) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Scan.HighAsciiCount, c.high) << testing::PrintToString(c.bytes);
    EXPECT_EQ(+r.Scan.CursorX, +c.x) << testing::PrintToString(c.bytes);
    EXPECT_EQ(+r.Scan.CursorY, +c.y) << testing::PrintToString(c.bytes);
  }
}

TEST(EscapeInterpreter, TabsMoveEightColumnsModulo256) {
  struct Case {
    int tabs;
    uint8_t from, to;
  } cases[] = {{9, 1, 73}, {10, 1, 81}, {32, 1, 1}, {1, 250, 2}};
  for (const Case& c : cases) {
    EXPECT_EQ(+Interpret(std::string(c.tabs, '\t'), 7, c.from, 4).Scan.CursorX, +c.to) << c.tabs;
  }
}

// Which bytes are swallowed by a sequence and which come out as ordinary drawn cells.
TEST(EscapeInterpreter, SequencesConsumeTheirBytes) {
  struct Case {
    std::string bytes;
    int64_t low;  // ordinary low characters left over, each drawn as a gray-on-black cell
  } cases[] = {
      {"\x1b[1;33;44m", 0},
      {"\x1b(B", 1},        // ESC and the byte after it vanish, "B" is ordinary
      {"\x1b\x1b[1m", 3},   // the second ESC is dropped, "[1m" is ordinary
      {"\x1b[\x1b[1m", 3},  // an ESC inside a sequence ends it and is dropped
      {"\x1b[=7h", 2},      // "=" ends the sequence; "7h" is ordinary
      {"\x1b[1 m", 1},      // a space ends it; "m" is ordinary
      {"\x1b[1\nX", 1},     // so does a line feed
      {"\x1b[12;4:5m", 2},  // ":" is no parameter character
      {"\x1b[<5>", 2},
      {"\x1b[5h", 0},  // final bytes outside the table do nothing
      {"\x1b[200z", 0},
      {"\x1b[2", 0},  // a sequence still open at the end has no effect
      {"\x1b", 0},
      {"\x1b[" + std::string(300, ';') + "mZ", 1},  // parameters past the 255th are dropped
  };
  for (const Case& c : cases) {
    Result r = Interpret(c.bytes);
    EXPECT_EQ(r.Scan.LowAsciiCount, c.low) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Tallies, Gray(c.low)) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Scan.HighAsciiCount, 0);
  }
}

TEST(EscapeInterpreter, NextParamReadsDecimalParametersInTurn) {
  struct Case {
    std::string params;
    std::vector<int32_t> values;  // read until the text is empty (or once for an empty text)
  } cases[] = {
      {"", {0}},
      {"12;5", {12, 5}},
      {";5", {0, 5}},
      {"1;", {1}},
      {"?5", {0, 5}},
      {"007", {7}},
      {";;", {0, 0}},
      {"2147483647", {2147483647}},
      {"2147483648", {214748364}},      // the overflowing digit is dropped
      {"99999999999", {999999999, 9}},  // and the digits after it start the next one
      {"21474836471;2", {2147483647, 0, 2}},
      {"3000000000", {300000000}},
  };
  for (const Case& c : cases) {
    auto text = reinterpret_cast<const uint8_t*>(c.params.data());
    ParamReader params{text, text + c.params.size()};
    std::vector<int32_t> values;
    do {
      values.push_back(NextParam(params));
    } while (params.At < params.End);
    EXPECT_EQ(values, c.values) << c.params;
    EXPECT_EQ(NextParam(params), 0) << "an emptied text reads as 0";
  }
}

TEST(EscapeInterpreter, ParamTextKeepsAtMost255Characters) {
  ScanState scan;
  Interpreter in{scan, {}};
  ProcessChar(in, 27);
  ProcessChar(in, '[');
  for (int i = 0; i < 300; ++i) ProcessChar(in, i < 255 ? ';' : '9');
  EXPECT_EQ(in.Params.Length, 255);
  EXPECT_EQ(std::string(in.Params.Chars.begin(), in.Params.Chars.end()), std::string(255, ';'));
  EXPECT_EQ(in.ParserState, StateCsi);
  ProcessChar(in, 'm');
  EXPECT_EQ(in.ParserState, StateNormal);
  EXPECT_EQ(in.Params.Length, 0);
}

TEST(EscapeInterpreter, CursorMovesFollowTheirLimits) {
  struct Case {
    uint8_t x, y;
    std::string bytes;
    uint8_t to_x, to_y;
  } cases[] = {
      // Up: whole count, stops at row 1.
      {5, 3, "\x1b[5A", 5, 1},
      {5, 3, "\x1b[A", 5, 2},
      {5, 3, "\x1b[0A", 5, 2},
      {5, 1, "\x1b[A", 5, 1},
      {5, 200, "\x1b[2147483647A", 5, 1},
      // Down: count modulo 256, rows wrap within the byte.
      {5, 1, "\x1b[255B", 5, 0},
      {5, 1, "\x1b[256B", 5, 2},
      {5, 1, "\x1b[B", 5, 2},
      {5, 250, "\x1b[10B", 5, 4},
      // Forward: whole count, no further than column 80.
      {78, 3, "\x1b[5C", 80, 3},
      {85, 3, "\x1b[C", 80, 3},
      {5, 3, "\x1b[99999999999C", 80, 3},
      {5, 3, "\x1b[2147483647C", 80, 3},
      {5, 3, "\x1b[3C", 8, 3},
      // Back: whole count, stops at column 1.
      {5, 3, "\x1b[10D", 1, 3},
      {5, 3, "\x1b[D", 4, 3},
      {5, 3, "\x1b[2147483647D", 1, 3},
      // Next line: column 1, rows modulo 256.
      {40, 3, "\x1b[2E", 1, 5},
      {40, 3, "\x1b[E", 1, 4},
      {40, 255, "\x1b[E", 1, 0},
      // Column 1 of the same row, whatever the parameter.
      {40, 3, "\x1b[G", 1, 3},
      {40, 3, "\x1b[17G", 1, 3},
      // Position: row, then column, each modulo 256, 0 taken as 1.
      {40, 3, "\x1b[H", 1, 1},
      {40, 3, "\x1b[5H", 1, 5},
      {40, 3, "\x1b[;5H", 5, 1},
      {40, 3, "\x1b[10;100f", 100, 10},
      {40, 3, "\x1b[256;258H", 2, 1},
      {40, 3, "\x1b[0;0f", 1, 1},
      {40, 3, "\x1b[2;3;4H", 3, 2},
      // Clear screen homes the cursor whatever its parameter.
      {40, 3, "\x1b[J", 1, 1},
      {40, 3, "\x1b[2J", 1, 1},
      // Save and restore; restoring twice returns twice; restoring first goes home.
      {7, 9, "\x1b[s\x1b[20;30H\x1b[u", 7, 9},
      {7, 9, "\x1b[s\x1b[20;30H\x1b[u\x1b[5B\x1b[u", 7, 9},
      {7, 9, "\x1b[u", 1, 1},
      // Form feed and tab inside ordinary text.
      {7, 9, "ab\fcd\t", 9, 1},
  };
  for (const Case& c : cases) {
    Result r = Interpret(c.bytes, 7, c.x, c.y);
    EXPECT_EQ(+r.Scan.CursorX, +c.to_x) << testing::PrintToString(c.bytes);
    EXPECT_EQ(+r.Scan.CursorY, +c.to_y) << testing::PrintToString(c.bytes);
  }
}

TEST(EscapeInterpreter, RenditionChangesTheAttribute) {
  struct Case {
    uint8_t from;
    std::string bytes;
    uint8_t to;
  } cases[] = {
      {30, "\x1b[m", 7},
      {30, "\x1b[0m", 7},
      {30, "\x1b[;m", 7},
      {7, "\x1b[1;33;44m", 30},
      {7, "\x1b[5m", 135},
      {7, "\x1b[5m\x1b[44m", 23},   // setting a background clears blink
      {7, "\x1b[5m\x1b[33m", 134},  // a foreground keeps it
      {30, "\x1b[7m", 97},          // reverse drops high intensity
      {159, "\x1b[7m", 241},        // and keeps blink
      {30, "\x1b[22m\x1b[25m\x1b[27m\x1b[39m\x1b[49m", 30},
      {30, "\x1b[2;3;4;6;8;29;38;48;255m", 30},
      {30, "\x1b[256m", 7},
      {7, "\x1b[286m", 0},  // acts as 30, black foreground
      {7, "\x1b[1;m", 15},
      {30, "\x1b[;1m", 15},
      {30, "\x1b[?5m", 135},
      {7, "\x1b[31m", 4},
      {7, "\x1b[32m", 2},
      {7, "\x1b[33m", 6},
      {7, "\x1b[34m", 1},
      {7, "\x1b[35m", 5},
      {7, "\x1b[36m", 3},
      {7, "\x1b[37m", 7},
      {15, "\x1b[30m", 8},  // a foreground keeps high intensity
      {7, "\x1b[40m", 7},
      {7, "\x1b[41m", 0x47},
      {7, "\x1b[42m", 0x27},
      {7, "\x1b[43m", 0x67},
      {7, "\x1b[44m", 0x17},
      {7, "\x1b[45m", 0x57},
      {7, "\x1b[46m", 0x37},
      {7, "\x1b[47m", 0x77},
      {7, "\x1b[0;1;5;31;46m", 0x3C},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(+Interpret(c.bytes, c.from).Scan.CurrentAttr, +c.to)
        << +c.from << " " << testing::PrintToString(c.bytes);
  }
}

TEST(EscapeInterpreter, CellsAreChargedUnderTheAttributeInForce) {
  struct Case {
    std::string bytes;
    Counts tallies;
  } cases[] = {
      {"\x1b[1;33;44mX", {0, 1, 0, 0, 0, 0, 1, 0}},
      {"\x1b[41;31mXY", {0, 0, 0, 0, 4, 0, 0, 0}},
      {"\x1b[32mA\x1b[0mB", {2, 0, 1, 0, 0, 0, 0, 1}},
      {"\x1b[36;45m\x0e", {0, 0, 0, 1, 0, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Interpret(c.bytes).Tallies, c.tallies) << testing::PrintToString(c.bytes);
  }
}

TEST(EscapeInterpreter, EraseToLineEndCountsTheCellsUpToColumn80) {
  struct Case {
    uint8_t x;
    std::string bytes;
    int64_t cells;
  } cases[] = {
      {1, "\x1b[K", 79}, {1, "\x1b[1K", 79}, {1, "\x1b[2K", 79}, {0, "\x1b[K", 80},
      {79, "\x1b[K", 1}, {80, "\x1b[K", 0},  {200, "\x1b[K", 0},
  };
  for (const Case& c : cases) {
    Result r = Interpret(c.bytes, 0x41, c.x, 6);  // blue on red
    EXPECT_EQ(r.Tallies, (Counts{0, c.cells, 0, 0, c.cells, 0, 0, 0})) << +c.x;
    EXPECT_EQ(r.Scan.LowAsciiCount + r.Scan.HighAsciiCount, 0);
    EXPECT_EQ(+r.Scan.CursorX, +c.x) << "the cursor stays";
  }
}

TEST(EscapeInterpreter, PositionReportWritesRowThenColumn) {
  struct Case {
    uint8_t x, y;
    std::string bytes, written;
  } cases[] = {
      {5, 3, "\x1b[6n", "\x1b[3;5R"},
      {5, 3, "\x1b[5n", "\x1b[3;5R"},
      {5, 3, "\x1b[n", "\x1b[3;5R"},
      {255, 0, "\x1b[6n", "\x1b[0;255R"},
      {1, 1, "\x1b[6n\x1b[10;100H\x1b[6n", "\x1b[1;1R\x1b[10;100R"},
      {1, 1, "n6[", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Interpret(c.bytes, 7, c.x, c.y).Written, c.written)
        << testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace tintrel
