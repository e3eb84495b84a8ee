// SPDX-License-Identifier: MIT
#include "scan/window_classes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace tintrel {
namespace {

// Every byte value at every position of a window, against the byte table.
TEST(WindowClasses, EveryClassificationAgreesWithTheByteTable) {
  for (int start = 0; start < 256; start += 7) {
    std::array<uint8_t, kWindowSize> window{};
    for (std::size_t i = 0; i < window.size(); ++i) window[i] = static_cast<uint8_t>(start + i * 5);
    const WindowClasses expected = ClassifyWindowByTable(window.data());
    const std::string where = "window starting with byte " + std::to_string(start);
    EXPECT_EQ(ClassifyWindow(window.data()), expected) << where;
#if TINTREL_SSE2
    if (ThisProcessor().Avx2) {
      EXPECT_EQ(ssse3::ClassifyWindow(window.data()), expected) << where;
      EXPECT_EQ(avx2::ClassifyWindow(window.data()), expected) << where;
    }
    if (ThisProcessor().Avx512) {
      EXPECT_EQ(avx512::ClassifyWindow(window.data()), expected) << where;
    }
#endif
  }
}

// The table itself, at the bytes whose class a wrong row would change.
TEST(WindowClasses, TableHoldsTheRunEndsKeyBytesAndHighBytes) {
  struct Case {
    uint8_t byte;
    bool ends_run, extends_key, high;
  } cases[] = {
      {0, true, false, false},    {9, true, false, false},    {10, true, false, false},
      {12, true, false, false},   {13, false, false, false},  {14, true, false, false},
      {15, true, false, false},   {26, true, false, false},   {27, true, false, false},
      {'|', true, false, false},  {'0', false, true, false},  {'9', false, true, false},
      {':', false, false, false}, {';', false, true, false},  {'?', false, true, false},
      {'[', false, true, false},  {126, false, false, false}, {127, false, false, true},
      {255, false, false, true},
  };
  for (const Case& c : cases) {
    std::array<uint8_t, kWindowSize> window{};
    window.fill('a');
    window[17] = c.byte;
    const WindowClasses classes = ClassifyWindowByTable(window.data());
    const uint64_t bit = uint64_t{1} << 17;
    EXPECT_EQ((classes.RunEnds & bit) != 0, c.ends_run) << +c.byte;
    EXPECT_EQ((classes.KeyStops & bit) == 0, c.extends_key) << +c.byte;
    EXPECT_EQ(classes.High, c.high ? bit : 0) << +c.byte;
  }
}

}  // namespace
}  // namespace tintrel
