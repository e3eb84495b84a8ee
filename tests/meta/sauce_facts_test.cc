// SPDX-License-Identifier: MIT
#include "meta/sauce_facts.h"

#include <gtest/gtest.h>

#include <string>

#include "kit/sauce_bytes.h"

namespace tintrel {
namespace {

using testkit::CommentBlock;
using testkit::SauceBytes;

TEST(SauceFacts, TheTailIsTheRecordAndTheCommentsFoundInFrontOfIt) {
  const std::string art = "art\x1a";
  const std::string bin = SauceBytes({.DataType = 5, .FileType = 80, .TFlags = 1});
  const std::string xbin = SauceBytes({.DataType = 6, .TInfo = {160, 50}, .Comments = 2});
  const struct {
    std::string File;
    SauceFacts Expected;
  } cases[] = {
      {"no record", {}},
      {art + bin, {true, 5, 80, 0, 0, true, 128}},
      {art + CommentBlock({"one", "two"}) + xbin, {true, 6, 0, 160, 50, false, 128 + 5 + 128}},
      {art + xbin, {true, 6, 0, 160, 50, false, 128}},  // the comments it counts are not there
  };
  for (const auto& c : cases) {
    const SauceFacts facts = SauceFactsOf(DecodeSauceTail(c.File, c.File.size()));
    EXPECT_EQ(facts.Present, c.Expected.Present);
    EXPECT_EQ(facts.DataType, c.Expected.DataType);
    EXPECT_EQ(facts.FileType, c.Expected.FileType);
    EXPECT_EQ(facts.Width, c.Expected.Width);
    EXPECT_EQ(facts.Lines, c.Expected.Lines);
    EXPECT_EQ(facts.Ice, c.Expected.Ice);
    EXPECT_EQ(facts.TailSize, c.Expected.TailSize) << c.File.size();
  }
}

}  // namespace
}  // namespace tintrel
