// SPDX-License-Identifier: MIT
#include "scan/scanner.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "kit/reference_scan.h"

namespace tintrel {
namespace {

using namespace std::string_literals;
using testkit::Counts;
using testkit::Gray;
using Result = testkit::ScanResult;

// The bytes in chunks of a block, as a file of them is read.
Result ScanBytes(const std::string& bytes) {
  Result result;
  ScanMemory(result.Scan, testkit::ReportsInto(result.Written),
             reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), kBlockSize);
  result.Tallies = testkit::TalliesOf(result.Scan);
  return result;
}

Counts Plus(Counts counts, int color, int64_t cells) {
  counts[color] += cells;
  return counts;
}

TEST(Scanner, EveryPipeCodeChargesItsColourOnly) {
  for (int code = 0; code < 24; ++code) {
    std::string text = "|" + std::string(code < 10 ? "0" : "") + std::to_string(code);
    Result r = ScanBytes(text);
    EXPECT_EQ(r.Tallies, Plus({}, code % 8, 1)) << text;
    EXPECT_EQ(r.Scan.LowAsciiCount, 0) << text;
    EXPECT_EQ(r.Scan.CurrentAttr, 7) << text;
  }
}

TEST(Scanner, BytesThatFormNoPipeCodeAreOrdinary) {
  struct Case {
    std::string bytes;
    Counts tallies;
    int64_t low;
  } cases[] = {
      {"|24", Gray(3), 3},
      {"|99", Gray(3), 3},
      {"|7x", Gray(3), 3},
      {"| 5", Gray(3), 3},
      {"|+5", Gray(3), 3},
      {"|-1", Gray(3), 3},
      {"|5", Gray(2), 2},  // "|" and "5" as the last bytes
      {"|", Gray(1), 1},
      {"|0\x1a"
       "05",
       Gray(2), 2},  // the end mark as the second byte
      {"|\x1a"
       "05",
       Gray(1), 1},                      // and as the first
      {"||05", Plus(Gray(1), 5, 1), 1},  // the second "|" starts the code
      {"|||07", Plus(Gray(2), 7, 1), 2},
      {"|0|12", Plus(Gray(2), 4, 1), 2},  // a "|" read as c2 is read again
      {"|\x1b[6n", Gray(1), 1},           // the bytes after "|" still reach the interpreter
  };
  for (const Case& c : cases) {
    Result r = ScanBytes(c.bytes);
    EXPECT_EQ(r.Tallies, c.tallies) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Scan.LowAsciiCount, c.low) << testing::PrintToString(c.bytes);
    // The same bytes ending a full block: an end mark then comes from the read that delivers
    // nothing.
    std::size_t filler = kBlockSize - c.bytes.size();
    Result at_end = ScanBytes(std::string(filler, 'a') + c.bytes);
    EXPECT_EQ(at_end.Tallies, Plus(Plus(c.tallies, 0, filler), 7, filler))
        << "at a block's end: " << testing::PrintToString(c.bytes);
    EXPECT_EQ(at_end.Scan.LowAsciiCount, c.low + static_cast<int64_t>(filler))
        << "at a block's end: " << testing::PrintToString(c.bytes);
  }
}

TEST(Scanner, PipeCodesStandApartFromTheInterpreter) {
  struct Case {
    std::string bytes;
    Counts tallies;
    uint8_t attr;
  } cases[] = {
      // Inside a sequence the code is taken out; the interpreter sees ESC [ 1 m.
      {"\x1b[|051m", Plus({}, 5, 1), 15},
      // A code does not change the attribute of the cells after it.
      {"\x1b[31m|04X", {1, 0, 0, 0, 2, 0, 0, 0}, 4},
      {"\x1b[44m|16|23", {1, 0, 0, 0, 0, 0, 0, 1}, 0x17},
  };
  for (const Case& c : cases) {
    Result r = ScanBytes(c.bytes);
    EXPECT_EQ(r.Tallies, c.tallies) << testing::PrintToString(c.bytes);
    EXPECT_EQ(+r.Scan.CurrentAttr, +c.attr) << testing::PrintToString(c.bytes);
  }
}

TEST(Scanner, ScanStopsAtTheFirstByte26) {
  struct Case {
    std::string bytes;
    int64_t low;
  } cases[] = {
      {"", 0},
      {"\x1a", 0},
      {"abc\x1a"
       "def",
       3},
      {"ab\x1a\x1a"
       "cd",
       2},
      {"a\x1b[\x1a"
       "6n",
       1},  // the end mark inside a sequence ends the scan too
      {"xyz\x1aSAUCE00" + std::string(121, ' '), 3},
  };
  for (const Case& c : cases) {
    Result r = ScanBytes(c.bytes);
    EXPECT_EQ(r.Scan.LowAsciiCount, c.low) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Tallies, Gray(c.low)) << testing::PrintToString(c.bytes);
    EXPECT_EQ(r.Written, "");
    EXPECT_EQ(+r.Scan.CurrentAttr, 7);
    EXPECT_EQ(+r.Scan.CursorX, 1);
    EXPECT_EQ(+r.Scan.CursorY, 1);
  }
}

// The end mark that follows a full block comes from the read that delivers nothing.
TEST(Scanner, PipeAtTheEndOfAFullBlock) {
  struct Case {
    std::string tail;
    Counts extra;
    int64_t low_extra;
  } cases[] = {
      {"|", Gray(1), 1},
      {"|5", Gray(2), 2},
      {"|0", Gray(2), 2},
      {"|05", Plus({}, 5, 1), 0},
  };
  for (const Case& c : cases) {
    std::size_t filler = kBlockSize - c.tail.size();
    Result r = ScanBytes(std::string(filler, 'a') + c.tail);
    EXPECT_EQ(r.Tallies, Plus(Plus(c.extra, 0, filler), 7, filler)) << c.tail;
    EXPECT_EQ(r.Scan.LowAsciiCount, static_cast<int64_t>(filler) + c.low_extra) << c.tail;
  }
}

TEST(Scanner, EveryByteOfWholeBlocksIsExaminedOnce) {
  for (std::size_t size : {std::size_t{1}, kBlockSize - 1, kBlockSize, kBlockSize + 1,
                           2 * kBlockSize, 3 * kBlockSize + 7}) {
    std::string bytes(size, 'a');
    bytes[size - 1] = '\xb0';
    Result r = ScanBytes(bytes);
    EXPECT_EQ(r.Scan.LowAsciiCount, static_cast<int64_t>(size - 1)) << size;
    EXPECT_EQ(r.Scan.HighAsciiCount, 1) << size;
  }
}

// A code or a non-code whose bytes straddle a block boundary comes out exactly as anywhere else.
TEST(Scanner, PipeCodesAcrossBlockBoundaries) {
  struct Case {
    std::string inserted;
    Counts extra;       // besides the filler's gray cells
    int64_t low_extra;  // low characters besides the filler
    std::string written;
  } cases[] = {
      {"|05", Plus({}, 5, 1), 0, ""},
      {"||13", Plus(Gray(1), 5, 1), 1, ""},
      {"|7x", Gray(3), 3, ""},
      {"|\x1b[6n", Gray(1), 1, "\x1b[1;1R"},
      {"|0\x1b[6n", Gray(2), 2, "\x1b[1;1R"},
  };
  for (const Case& c : cases) {
    for (std::size_t boundary : {kBlockSize, 2 * kBlockSize}) {
      for (std::size_t at = boundary - 4; at <= boundary + 1; ++at) {
        std::string bytes(at, 'a');
        bytes += c.inserted;
        bytes += "zz";
        Result r = ScanBytes(bytes);
        int64_t filler = static_cast<int64_t>(at + 2);
        std::string where = testing::PrintToString(c.inserted) + " at " + std::to_string(at);
        Counts expected = c.extra;
        expected[0] += filler;
        expected[7] += filler;
        EXPECT_EQ(r.Tallies, expected) << where;
        EXPECT_EQ(r.Scan.LowAsciiCount, filler + c.low_extra) << where;
        EXPECT_EQ(r.Written, c.written) << where;
      }
    }
  }
}

// Rendition numbers of 9 and 10 digits and around 2147483647, from red on black: the digit that
// would pass the limit is dropped and the digits after it start the next parameter. On both paths,
// at the start of a block, inside it and across its end.
TEST(Scanner, RenditionNumbersAtTheDigitAndOverflowLimits) {
  struct Case {
    std::string params;
    uint8_t attr;
  } cases[] = {
      {"000000037", 7},          // nine digits, gray
      {"999999999;44", 0x14},    // 999999999 changes nothing, then blue background
      {"1000000037", 7},         // ten digits below the limit, gray
      {"1000000041", 0x44},      // red background
      {"2147483429", 7},         // the largest number below the limit that is 37 modulo 256
      {"2147483647;1", 12},      // the limit itself, then bright
      {"2147483685", 4},         // past the limit: 214748368, which changes nothing
      {"4000000037", 4},         // 400000003
      {"4294967333", 4},         // 2^32 + 37 reads 429496733
      {"214748364837", 7},       // 214748364, "8" dropped, then 37
      {"99999999931", 12},       // 999999999, "9" dropped, then 1
      {"21474836470;44", 0x17},  // 2147483647, "0" dropped, the empty rest resets, then 44
      {"0000000000037", 7},      // leading zeros never overflow
  };
  for (const Case& c : cases) {
    for (std::size_t lead : {std::size_t{0}, std::size_t{200}, kBlockSize - 12}) {
      const std::string bytes =
          std::string(lead, 'x') + "\x1b[31m\x1b[" + c.params + "m" + std::string(100, 'y');
      for (QuickSteps quick : {QuickSteps::kOnWithAvx2, QuickSteps::kOnWithoutAvx2,
                               QuickSteps::kOnWithAvx512, QuickSteps::kOff}) {
        ScanState scan;
        ScanMemory(scan, {}, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                   kBlockSize, quick);
        EXPECT_EQ(+scan.CurrentAttr, +c.attr)
            << c.params << " after " << lead << " bytes, quick steps " << static_cast<int>(quick);
      }
    }
  }
}

}  // namespace
}  // namespace tintrel
