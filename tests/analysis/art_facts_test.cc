// SPDX-License-Identifier: MIT
#include "analysis/art_facts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "kit/art_generator.h"
#include "kit/sauce_bytes.h"
#include "meta/sauce_types.h"

namespace tintrel {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A drawing `width` columns wide, 30 lines of coloured blocks, whose record says how wide it is.
std::string WideDrawing(uint16_t width) {
  std::string art;
  for (int line = 0; line < 30; ++line) {
    for (uint16_t column = 0; column < width; ++column)
      art += column % 10 == 0 ? "\x1b[3" + std::to_string(1 + column / 10 % 7) + "m\xdb" : "\xdb";
  }
  testkit::SauceFields fields;
  fields.DataType = kCharacterData;
  fields.FileType = 1;
  fields.TInfo = {width, 30, 0, 0};
  fields.FileSize = static_cast<uint32_t>(art.size());
  return art + '\x1a' + testkit::SauceBytes(fields);
}

void ExpectSameFacts(const ArtFacts& streamed, const ArtFacts& held, const std::string& what) {
  EXPECT_FALSE(ReadFault(streamed)) << what;
  EXPECT_EQ(streamed.Scanned.Scan, held.Scanned.Scan) << what;
  EXPECT_EQ(streamed.Scanned.ScannedBytes, held.Scanned.ScannedBytes) << what;
  EXPECT_EQ(streamed.Scanned.FileSize, held.Scanned.FileSize) << what;
  EXPECT_EQ(streamed.Scanned.FileMd5, held.Scanned.FileMd5) << what;
  EXPECT_EQ(streamed.Scanned.ArtMd5, held.Scanned.ArtMd5) << what;
  EXPECT_EQ(streamed.Sauce, held.Sauce) << what;
  EXPECT_EQ(streamed.Shown, held.Shown) << what;
  EXPECT_TRUE(std::ranges::equal(FirstBytes(streamed), FirstBytes(held))) << what;
  EXPECT_EQ(streamed.Top, held.Top) << what;
  EXPECT_EQ(streamed.TopWidth, held.TopWidth) << what;
}

// The same bytes held whole and streamed in chunks of any size say the same: streamed with the
// record read ahead, as a file on disk is, and, where the record asks for no wider screen, with the
// record found in the stream's last bytes, as a pack's member is.
TEST(ArtFacts, HeldAndStreamedBytesSayTheSame) {
  const struct {
    const char* What;
    std::string Art;
  } cases[] = {
      {"typical art with a record", artgen::TypicalArt(1, 40000, true)},
      {"long runs without a record", artgen::LongRunArt(2, 30000, false)},
      {"a drawing 132 columns wide", WideDrawing(132)},
      {"a NUL among the first bytes", std::string("\x1b[31mab\0cd\r\n", 12) + "more"},
      {"no bytes", ""},
  };
  auto tools = std::make_unique<ArtTools>();
  tools->TopLines = 50;
  for (const auto& test : cases) {
    ArtFacts held;
    HeldFacts(held, "art", Bytes(test.Art), *tools);
    DigestHeld(held, Bytes(test.Art));
    for (std::size_t chunk : {std::size_t{1}, std::size_t{511}, std::size_t{513}, std::size_t{4096},
                              std::size_t{1} << 20}) {
      for (const bool read_ahead : {true, false}) {
        if (!read_ahead && ScreenWidthFor(held.Sauce) != kDefaultScreenWidth) continue;
        std::size_t at = 0;
        const NextChunk next = [&] {
          const std::span<const uint8_t> piece =
              Bytes(test.Art).subspan(at, std::min(chunk, test.Art.size() - at));
          at += piece.size();
          return piece;
        };
        ArtFacts streamed;
        StreamFacts(streamed, "art", next,
                    read_ahead ? std::optional<SauceInfo>(held.Sauce) : std::nullopt, *tools);
        ExpectSameFacts(streamed, held,
                        std::string(test.What) + ", chunks of " + std::to_string(chunk) +
                            (read_ahead ? ", record read ahead" : ""));
      }
    }
  }
}

// A stream that fails is the scan's fault while the scan still wants bytes, the digest's after.
TEST(ArtFacts, AFailedStreamIsTheFaultOfTheStepThatWantedIt) {
  const std::string art = "\x1b[31mart\x1a" + std::string(600, 'x');
  const struct {
    std::size_t FailAfter;  // chunks of 4 bytes given before the failure
    bool ScanFault;
  } cases[] = {{0, true}, {1, true}, {3, false}};
  ArtTools tools;
  for (const auto& test : cases) {
    std::size_t given = 0;
    const NextChunk next = [&]() -> std::span<const uint8_t> {
      if (given == test.FailAfter) throw Fault("PackError", "damaged: CRC mismatch");
      return Bytes(art).subspan(4 * given++, 4);
    };
    ArtFacts facts;
    StreamFacts(facts, "art", next, std::nullopt, tools);
    ASSERT_TRUE(ReadFault(facts)) << test.FailAfter;
    EXPECT_EQ(ReadFault(facts)->Message, "damaged: CRC mismatch");
    EXPECT_EQ(facts.Scanned.ScanFault.has_value(), test.ScanFault) << test.FailAfter;
  }
}

}  // namespace
}  // namespace tintrel
