// SPDX-License-Identifier: MIT
#include "meta/sauce_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"
#include "meta/sauce_types.h"

namespace tintrel {
namespace {

using namespace std::string_literals;
using testkit::CommentBlock;
using testkit::SauceBytes;

SauceInfo Decode(const std::string& file) {
  return DecodeSauceTail(file, file.size());
}

std::string WarningsOf(const SauceInfo& info) {
  std::string codes;
  for (std::string_view code : info.Warnings) (codes += codes.empty() ? "" : " ") += code;
  return codes;
}

TEST(SauceInfo, WarningsAloneAndInPairs) {
  const std::string art = "art\x1a";
  const std::pair<std::string, std::string> cases[] = {
      {art + SauceBytes({}), ""},
      {SauceBytes({}), "no-eof-marker"},
      {std::string(72, '\x1a') + SauceBytes({.Comments = 255}), "comments-missing"},
      {art + CommentBlock({"one"}) + SauceBytes({.Comments = 2}), "no-eof-marker comments-missing"},
      {art + CommentBlock({"SAUCE", ""}) + SauceBytes({.FileSize = 3, .Comments = 2}), ""},
      {art + SauceBytes({.FileSize = 4}), "filesize-mismatch"},
      {art + SauceBytes({.FileSize = 0xFFFFFFFF}), "filesize-mismatch"},
      {"art" + SauceBytes({.FileSize = 4}), "no-eof-marker filesize-mismatch"},
      {art + SauceBytes({.Date = "20000229"}), ""},
      {art + SauceBytes({.Date = "19000229"}), "bad-date"},
      {art + SauceBytes({.Date = "19960431"}), "bad-date"},
      {art + SauceBytes({.Version = "01"}), "unknown-version"},
      {art + SauceBytes({.Version = "0", .DataType = 9}), "unknown-version unknown-type"},
      {art + SauceBytes({.DataType = 5}), "unknown-type"},
      {art + SauceBytes({.DataType = 6, .FileType = 1}), "unknown-type"},
      {art + SauceBytes({.DataType = 2, .TFlags = 1}), "reserved-flags"},
      {art + SauceBytes({}, '\0'), "nul-padding"},
      {art + SauceBytes({.Date = "1996"}, '\0'), "bad-date nul-padding"},
      {art + SauceBytes({.TInfoS = "\x1a"s.insert(0, 21, ' ')}) + SauceBytes({}), "double-record"},
      {art + SauceBytes({}) + SauceBytes({}), "no-eof-marker double-record"},
      {art + SauceBytes({}) + CommentBlock({""}) + SauceBytes({.Comments = 1}),
       "no-eof-marker double-record"},
  };
  for (const auto& [file, warnings] : cases) EXPECT_EQ(WarningsOf(Decode(file)), warnings) << file;
}

TEST(SauceInfo, TFlagsDecodeForCharacterAndBinaryTextOnly) {
  const std::string_view spacings[] = {"none", "8-pixel", "9-pixel", "invalid"};
  const std::string_view ratios[] = {"none", "legacy", "square", "invalid"};
  for (uint8_t data_type : {kCharacterData, kBinaryTextData, kBitmapData, kAudioData}) {
    const bool text = data_type == kCharacterData || data_type == kBinaryTextData;
    for (int flags = 0; flags < 256; ++flags) {
      SauceInfo info = Decode("\x1a" + SauceBytes({.DataType = data_type,
                                                   .FileType = 1,
                                                   .TFlags = static_cast<uint8_t>(flags)}));
      const bool reserved =
          text ? (flags & 6) == 6 || (flags & 24) == 24 || flags > 31 : flags != 0;
      EXPECT_EQ(WarningsOf(info), reserved ? "reserved-flags" : "") << +data_type << " " << flags;
      EXPECT_EQ(info.IceColors, text ? std::optional((flags & 1) == 1) : std::nullopt);
      EXPECT_EQ(info.LetterSpacing, text ? std::optional(spacings[flags / 2 % 4]) : std::nullopt);
      EXPECT_EQ(info.AspectRatio, text ? std::optional(ratios[flags / 8 % 4]) : std::nullopt);
    }
  }
}

TEST(SauceInfo, TypeNamesWidthAndLinesFollowTheTables) {
  struct Case {
    uint8_t data_type, file_type;
    std::string_view data_name, file_name;
    std::optional<uint16_t> width, lines;
  } cases[] = {
      {1, 1, "Character", "ANSi", 0x1234, 25}, {1, 3, "Character", "RIP script", {}, {}},
      {1, 7, "Character", "Source", {}, {}},   {5, 80, "BinaryText", "", 160, {}},
      {6, 0, "XBin", "", 0x1234, 25},          {6, 1, "XBin", "", {}, {}},
      {4, 24, "Audio", "IT", {}, {}},          {9, 0, "", "", {}, {}},
  };
  for (const Case& c : cases) {
    SauceInfo info = Decode(SauceBytes(
        {.DataType = c.data_type, .FileType = c.file_type, .TInfo = {0x1234, 25, 16, 9}}));
    EXPECT_EQ(std::tie(info.DataTypeName, info.FileTypeName, info.Width, info.Lines),
              std::tie(c.data_name, c.file_name, c.width, c.lines));
    EXPECT_EQ(info.TInfo, (std::array<uint16_t, 4>{0x1234, 25, 16, 9}));
  }
}

TEST(SauceInfo, TextDecodesFromCodePage437WithoutPadding) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x01\x7f\xb0\xdb", "\u263A\u2302\u2591\u2588"},
      {"a\0b \0 \0"s, "a b"},
      {"  lead", "  lead"}};
  for (const auto& [field, text] : cases) {
    SauceInfo info = Decode(CommentBlock({"first", field, ""}) +
                            SauceBytes({.Title = field, .Group = field, .Comments = 3}, '\0'));
    EXPECT_EQ(std::tie(info.Title, info.Group), std::tie(text, text));
    EXPECT_EQ(info.Comments, (std::vector<std::string>{"first", text, ""}));
    EXPECT_EQ(info.RawComments.at(1), CommentBlock({field}).substr(5));
  }
  SauceInfo info = Decode(SauceBytes({.TInfoS = "IBM VGA\0junk"s}));
  EXPECT_EQ(std::tie(info.Date, info.DateIso, info.Font),
            std::make_tuple("19960704", "1996-07-04", "IBM VGA"));
}

// One read from the end reaches a record in front of the longest comment block; a pipe has none.
TEST(SauceInfo, ReadFromTheEndOfAFile) {
  const std::string file = std::string(20000, 'a') + SauceBytes({}) +
                           CommentBlock(std::vector<std::string_view>(255, "l")) +
                           SauceBytes({.Comments = 255});
  testkit::TempDir dir;
  const std::string path = testkit::WriteFile(dir.Path + "/art.ans", file);
  SauceInfo info = ReadSauceInfo(OpenForReading(path), path);
  EXPECT_EQ(std::make_tuple(WarningsOf(info), info.Comments.size()),
            std::make_tuple("no-eof-marker double-record", 255u));
  // Comment blocks that the first read from the end holds, just fails to hold, and does not hold.
  for (std::size_t lines : {0, 3, 58, 59, 60, 100}) {
    const std::string small = std::string(5000, 'a') + "\x1a" +
                              CommentBlock(std::vector<std::string_view>(lines, "c")) +
                              SauceBytes({.Comments = static_cast<uint8_t>(lines)});
    const std::string small_path = testkit::WriteFile(dir.Path + "/small.ans", small);
    EXPECT_EQ(ReadSauceInfo(OpenForReading(small_path), small_path), Decode(small)) << lines;
  }
  ASSERT_EQ(mkfifo((dir.Path + "/pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ReadSauceInfo(OpenForReading(dir.Path + "/pipe", O_NONBLOCK), "pipe").Present);
}

}  // namespace
}  // namespace tintrel
