// SPDX-License-Identifier: MIT
#include "text/short_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace tintrel {
namespace {

TEST(ShortText, UpperCasedChangesOnlyAsciiLetters) {
  struct Case {
    std::string text, upper;
  } cases[] = {
      {"--help", "--HELP"},         {"-r", "-R"},     {"/?", "/?"},
      {"MiXeD azAZ", "MIXED AZAZ"}, {"`{@[", "`{@["},  // the bytes next to the letters stay
      {"\xe4\xff", "\xe4\xff"},     {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(UpperCased(c.text), c.upper) << c.text;
}

TEST(ShortText, LongTextsAreCutTo255Bytes) {
  std::string long_text(300, 'a');
  EXPECT_EQ(ShortText(long_text), std::string(255, 'a'));
  EXPECT_EQ(UpperCased(long_text), std::string(255, 'A'));
  EXPECT_EQ(StripTrailing(long_text + "  ", ' '), std::string(255, 'a'));
}

TEST(ShortText, PadRightWithCutsOrFillsToWidth) {
  struct Case {
    std::string text;
    uint8_t width;
    char fill;
    std::string padded;
  } cases[] = {
      {"File ", 79, '=', "File " + std::string(74, '=')},
      {"Sauce Data ", 79, '=', "Sauce Data " + std::string(68, '=')},
      {"abc", 3, '=', "abc"},
      {"abcdef", 4, '=', "abcd"},
      {"abc", 0, '=', ""},
      {"", 2, '-', "--"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PadRightWith(c.text, c.width, c.fill), c.padded) << c.text << " " << +c.width;
  }
}

TEST(ShortText, PadLeftWithFillsLeftAndCutsRight) {
  struct Case {
    std::string text;
    uint8_t width;
    std::string padded;
  } cases[] = {
      {"5%", 4, "  5%"},    {"42%", 4, " 42%"}, {"100%", 4, "100%"},
      {"1000%", 4, "1000"}, {"abc", 0, ""},     {"", 3, "   "},
  };
  for (const Case& c : cases) EXPECT_EQ(PadLeftWith(c.text, c.width, ' '), c.padded) << c.text;
}

TEST(ShortText, StripTrailingDropsOnlyTheEndRun) {
  using namespace std::string_literals;
  struct Case {
    std::string text, stripped;
  } cases[] = {
      {"Title   ", "Title"}, {"  in  side  ", "  in  side"}, {"     ", ""}, {"", ""},
      {"NUL\0"s, "NUL\0"s},  // a NUL byte is not a space
      {"x \0  "s, "x \0"s},  // spaces before a NUL stay
  };
  for (const Case& c : cases) EXPECT_EQ(StripTrailing(c.text, ' '), c.stripped);
}

TEST(ShortText, IntToTextWritesPlainDecimal) {
  struct Case {
    int64_t number;
    std::string text;
  } cases[] = {
      {0, "0"},
      {-5, "-5"},
      {7, "7"},
      {255, "255"},
      {1000000, "1000000"},
      {std::numeric_limits<int32_t>::min(), "-2147483648"},
      {std::numeric_limits<int32_t>::max(), "2147483647"},
      {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
      {std::numeric_limits<int64_t>::max(), "9223372036854775807"},
  };
  for (const Case& c : cases) EXPECT_EQ(IntToText(c.number), c.text);
}

}  // namespace
}  // namespace tintrel
