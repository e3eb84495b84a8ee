// SPDX-License-Identifier: MIT
// The summary line, end to end: every byte the built binary prints for files made here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "kit/md5_hex.h"
#include "kit/run_binary.h"
#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"

namespace tintrel::testkit {
namespace {

// `n` cells in colour `color` (1 blue ... 7 gray) on black, drawn with `glyph`.
std::string Cells(int color, int n, char glyph = 'x') {
  static const char kAnsiDigit[8] = {'0', '4', '2', '6', '1', '5', '3', '7'};
  return std::string("\x1b[3") + kAnsiDigit[color] + "m" + std::string(n, glyph);
}

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// `low` gray characters below 127 and `high` at 127 and above: colour words stay "grayish,".
std::string Chars(int low, int high) {
  return std::string(low, 'a') + std::string(high, '\xdb');
}

struct Case {
  std::string what;
  std::string art;
  std::string after_digest;  // everything the line holds after the digest's comma
};

void ExpectSummaries(const std::vector<Case>& cases) {
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir.Path + "/art.ans", c.art);
    RunResult r = RunTintrelBinary({"art.ans"}, dir.Path);
    EXPECT_EQ(r.Stdout, Md5Hex(c.art) + "," + c.after_digest) << c.what;
    EXPECT_EQ(r.ExitStatus, 0) << c.what;
    EXPECT_EQ(r.Stderr, "") << c.what;
  }
}

TEST(SummaryLine, ColourWordsNameTheLargestSharesAbove10) {
  ExpectSummaries({
      {"empty file", "", "0,mixed,,,,\n"},
      {"all black", "\x1b[30m" + Chars(5, 0), "0,low,,,,\n"},
      {"one colour", Cells(4, 3), "redish,1,low,,,,\n"},
      {"tie: higher colour first", Cells(1, 10) + Cells(4, 10), "redish,blueish,2,low,,,,\n"},
      {"10 % is not named, yet used", Cells(1, 60) + Cells(7, 30) + Cells(4, 10),
       "blueish,grayish,3,low,,,,\n"},
      {"11 % in third place is named", Cells(1, 50) + Cells(7, 39) + Cells(4, 11),
       "blueish,grayish,redish,3,low,,,,\n"},
      {"four-way tie: only three words", Cells(4, 5) + Cells(5, 5) + Cells(6, 5) + Cells(7, 5),
       "grayish,yellowish,magentish,4,low,,,,\n"},
      {"colour from pipe codes alone", "|01|01|02", "blueish,greenish,2,mixed,,,,\n"},
      {"equal shares, unequal counts: counts decide",
       Repeat("|01", 101) + Repeat("|07", 100) + Repeat("|02", 199),
       "greenish,blueish,grayish,3,mixed,,,,\n"},
      {"bright and background colours", "\x1b[1;36;42m" + std::string(4, '\xb0'),
       "cyanish,greenish,2,high,,,,\n"},
  });
}

TEST(SummaryLine, VerdictAndItsBoundaries) {
  ExpectSummaries({
      {"2 low, 1 high: d = 33", Chars(2, 1), "grayish,1,low,,,,\n"},
      {"1 low, 2 high: d = 33", Chars(1, 2), "grayish,1,high,,,,\n"},
      {"66 low, 34 high: d = 32", Chars(66, 34), "grayish,1,mixed,,,,\n"},
      {"34 low, 66 high: d = 32", Chars(34, 66), "grayish,1,mixed,,,,\n"},
      {"67 low, 33 high: d = 34", Chars(67, 33), "grayish,1,low,,,,\n"},
      {"equal", Chars(50, 50), "grayish,1,mixed,,,,\n"},
      {"53 low, 47 high", Chars(53, 47), "grayish,1,mixed,,,,\n"},
      {"high only", Chars(0, 9), "grayish,1,high,,,,\n"},
  });
}

TEST(SummaryLine, SauceFieldsLoseOnlyTrailingSpaces) {
  const std::string art = Cells(2, 4);
  ExpectSummaries({
      {"padded fields", art + "\x1a" + SauceBytes({"Harbour Lights", "ink", "Crew", "19960704"}),
       "greenish,1,low,\"Harbour Lights\",\"ink\",\"Crew\",19960704\n"},
      {"all spaces; no byte 26, so the record is scanned too", art + SauceBytes({"", "", "", ""}),
       "greenish,1,low,\"\",\"\",\"\",\n"},
      {"NUL padding stays, spaces before it too",
       art + "\x1a" + SauceBytes({"Tide  ", "ink", "", "1996"}, '\0'),
       "greenish,1,low,\"Tide  " + std::string(29, '\0') + "\",\"ink" + std::string(17, '\0') +
           "\",\"" + std::string(20, '\0') + "\",1996" + std::string(4, '\0') + "\n"},
      {"quotes and commas unchanged",
       art + "\x1a" + SauceBytes({"Say \"hi\", twice", "a,b", "\"", "2026,01 "}),
       "greenish,1,low,\"Say \"hi\", twice\",\"a,b\",\"\"\",2026,01\n"},
      {"bytes above 127 unchanged", art + "\x1a" + SauceBytes({"Caf\xe9 \xb0\xb1\xb2", "", "", ""}),
       "greenish,1,low,\"Caf\xe9 \xb0\xb1\xb2\",\"\",\"\",\n"},
  });
}

// Another process holds the file exclusively: the line stops where the record was needed.
TEST(SummaryLine, ExclusiveLockEndsTheRunWith217) {
  TempDir dir;
  const std::string art = Cells(7, 3) + SauceBytes({"t", "a", "g", "20260101"});
  std::string path = WriteFile(dir.Path + "/art.ans", art);
  int holder = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  RunResult r = RunTintrelBinary({"art.ans"}, dir.Path);
  EXPECT_EQ(
      r.Stdout,
      Md5Hex(art) + ",grayish,1,low,\nUnhandled FileError: Unable to open file \"art.ans\"\n");
  EXPECT_EQ(r.ExitStatus, 217);

  // A shared lock, as parallel runs take, does not stand in the way.
  ASSERT_EQ(flock(holder, LOCK_SH), 0);
  r = RunTintrelBinary({"art.ans"}, dir.Path);
  EXPECT_EQ(r.Stdout, Md5Hex(art) + ",grayish,1,low,\"t\",\"a\",\"g\",20260101\n");
  EXPECT_EQ(r.ExitStatus, 0);
  close(holder);
}

}  // namespace
}  // namespace tintrel::testkit
