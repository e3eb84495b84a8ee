// SPDX-License-Identifier: MIT
#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tintrel {
namespace {

// One reader gives the tables' check and the screen's: whole, invalid, or cut short.
TEST(Utf8, ReadsACharacterOrTellsWhyNot) {
  struct Case {
    std::string bytes;
    Utf8Read::Status outcome;
    uint8_t length;
    char32_t code;
  } cases[] = {
      {"A", Utf8Read::kCharacter, 1, U'A'},
      {"\xC3\xA9", Utf8Read::kCharacter, 2, 0xE9},
      {"\xE2\x96\x88", Utf8Read::kCharacter, 3, 0x2588},
      {"\xF0\x9F\x98\x80", Utf8Read::kCharacter, 4, 0x1F600},
      {"\xF4\x8F\xBF\xBF", Utf8Read::kCharacter, 4, 0x10FFFF},
      {"\xC0\xAF", Utf8Read::kInvalid, 1, 0},          // overlong
      {"\xE0\x9F\xBF", Utf8Read::kInvalid, 1, 0},      // overlong
      {"\xED\xA0\x80", Utf8Read::kInvalid, 1, 0},      // a surrogate
      {"\xF4\x90\x80\x80", Utf8Read::kInvalid, 1, 0},  // above U+10FFFF
      {"\x80", Utf8Read::kInvalid, 1, 0},              // a continuation alone
      {"\xE2\x96", Utf8Read::kNeedMore, 1, 0},
      {"\xE2\x41", Utf8Read::kInvalid, 1, 0},
  };
  for (const Case& c : cases) {
    const Utf8Read read =
        ReadUtf8(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(read.Outcome, c.outcome) << c.bytes;
    if (c.outcome != Utf8Read::kCharacter) continue;
    EXPECT_EQ(read.Length, c.length) << c.bytes;
    EXPECT_EQ(read.Code, c.code) << c.bytes;
    EXPECT_EQ(Utf8SequenceAt(c.bytes), c.length) << c.bytes;
  }
}

// A character cut by the end counts only where more bytes follow.
TEST(Utf8, TextCutShortIsUtf8OnlyWhenMoreFollows) {
  struct Case {
    std::string bytes;
    bool valid, valid_if_more;
  } cases[] = {
      {"", true, true},         {"a\xC3\xA9z", true, true},
      {"a\xC3", false, true},   {"a\xF0\x9F\x98", false, true},
      {"a\xC3z", false, false}, {"\xFF", false, false},
  };
  for (const Case& c : cases) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
    EXPECT_EQ(IsUtf8(c.bytes), c.valid) << c.bytes;
    EXPECT_EQ(IsUtf8Text(bytes, c.bytes.size(), false), c.valid) << c.bytes;
    EXPECT_EQ(IsUtf8Text(bytes, c.bytes.size(), true), c.valid_if_more) << c.bytes;
  }
}

}  // namespace
}  // namespace tintrel
