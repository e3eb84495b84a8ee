// SPDX-License-Identifier: MIT
// The quick steps must leave the screen exactly as the byte loop alone does: every stored cell,
// the counts, the cursor, the pen and the summary, in chunks of any size.
#include <gtest/gtest.h>

#include <string>

#include "kit/art_generator.h"
#include "kit/screen_difference.h"
#include "screen/screen.h"
#include "text/cp437.h"

namespace tintrel {
namespace {

void Draw(Screen& screen, const std::string& bytes, QuickScreen quick, std::size_t chunk,
          uint32_t width = kDefaultScreenWidth) {
  screen.Quick = quick;
  ResetScreen(screen, width);
  DrawMemory(screen, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), chunk);
}

// Code page 437 art as its UTF-8 twin: every high byte becomes its character.
std::string AsUtf8(const std::string& cp437) {
  std::string text;
  for (char byte : cp437)
    text += static_cast<uint8_t>(byte) < 0x80 ? std::string(1, byte) : Cp437ToUtf8({&byte, 1});
  return text;
}

void ExpectSameAsByteLoop(const std::string& bytes, const std::string& what,
                          uint32_t width = kDefaultScreenWidth) {
  Screen byte_loop, quick;
  Draw(byte_loop, bytes, QuickScreen::kOff, 64 * 1024, width);
  for (QuickScreen way : {QuickScreen::kOn, QuickScreen::kWithAvx2, QuickScreen::kWithoutAvx}) {
    for (std::size_t chunk : {std::size_t{64 * 1024}, std::size_t{333}}) {
      Draw(quick, bytes, way, chunk, width);
      EXPECT_EQ(testkit::ScreenDifference(quick, byte_loop), "")
          << what << ", chunks of " << chunk << ", quick steps " << static_cast<int>(way);
    }
  }
}

TEST(ScreenQuickSteps, AgreeWithTheByteLoopOnSeededInputs) {
  for (uint64_t seed = 1; seed <= 24; ++seed) {
    const std::size_t size = 1 + seed * 4999 % 60000;
    const std::string label = " seed " + std::to_string(seed);
    const std::string typical = artgen::TypicalArt(seed, size, seed % 2 == 0);
    ExpectSameAsByteLoop(typical, "typical" + label, seed % 3 == 0 ? 132 : 80);
    ExpectSameAsByteLoop(AsUtf8(typical), "typical in UTF-8" + label);
    ExpectSameAsByteLoop(artgen::LongRunArt(seed, size, false), "long runs" + label);
    ExpectSameAsByteLoop(artgen::WorstCaseArt(seed, size), "worst case" + label);
    ExpectSameAsByteLoop(artgen::RandomBytes(seed, size, seed % 2 == 0), "random" + label);
  }
}

// Redraws, clears, erases, long sequences and extended colours around every offset of a window.
TEST(ScreenQuickSteps, AgreeWhereTokensMeetWindowEdges) {
  const std::string inserts[] = {"\x1b[2J",
                                 "\x1b[H\x1b[44mredrawn",
                                 "\x1b[3A\x1b[5Dup",
                                 "\x1b[K",
                                 "\x1b[s\x1b[10;70Hx\x1b[u",
                                 "\x1b[38;2;10;200;30;48;5;99mX",
                                 "\x1b[1;255;85;0tY",
                                 "\x1b[12345678901234567890m",
                                 "\x1bX\x1b\x1b[7m",
                                 "|05|9x|",
                                 "\r\n\t",
                                 "\xc3\xa9\xe2\x96\x88\xdb"};
  for (const std::string& insert : inserts) {
    for (std::size_t offset = 100; offset<300; offset += insert.size()> 3 ? 7 : 1) {
      std::string bytes(offset, '\xb1');
      bytes[offset / 2] = '\n';
      bytes += insert + std::string(200, '\xdb') + "\x1b[31m" + insert + "ab";
      ExpectSameAsByteLoop(bytes, testing::PrintToString(insert) + " at " + std::to_string(offset));
    }
  }
}

// Past the stored rows, and across them with cursor moves, on one screen reused as a catalogue
// worker reuses its own.
TEST(ScreenQuickSteps, AgreePastTheStoredRows) {
  std::string tall = artgen::LongRunArt(5, 1 << 20, false);
  tall.insert(tall.size() / 2, "\x1b[1;1H\x1b[44mtop again\x1b[1900Bmiddle");
  ExpectSameAsByteLoop(tall, "tall");
  ExpectSameAsByteLoop(AsUtf8(tall), "tall in UTF-8", 40);
}

}  // namespace
}  // namespace tintrel
