// SPDX-License-Identifier: MIT
#include "render/quick_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace tintrel {
namespace {

// zlib reads back every stream whole, its Adler-32 checked, as the bytes that were given.
TEST(QuickDeflate, ZlibReadsBackEveryShapeOfBytes) {
  std::mt19937 random(7);
  auto noise = [&](std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
  };
  auto rows = [&](std::size_t stride, std::size_t count) {
    const std::vector<uint8_t> row = noise(stride);
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i) {
      bytes.insert(bytes.end(), row.begin(), row.end());
      if (i % 3 == 2) bytes[bytes.size() - stride / 2] ^= 1;  // a row that differs in one byte
    }
    return bytes;
  };
  struct Case {
    const char* Name;
    std::vector<uint8_t> Bytes;
    std::size_t Stride;
  };
  const Case cases[] = {
      {"nothing", {}, 1},
      {"one byte", {200}, 1},
      {"a run past the longest match", std::vector<uint8_t>(1000, 7), 1},
      {"every byte value, 8- and 9-bit codes", noise(4096), 64},
      {"rows repeated", rows(321, 40), 321},
      {"rows repeated, stride of one byte less", rows(321, 40), 320},
      {"rows past the window: runs only", rows(40000, 3), 40000},
      {"short rows", rows(2, 50), 2},
  };
  for (const Case& test : cases) {
    const std::vector<uint8_t> stream = QuickZlib(test.Bytes, test.Stride);
    std::vector<uint8_t> back(test.Bytes.size() + 1);
    uLongf size = back.size();
    ASSERT_EQ(uncompress(back.data(), &size, stream.data(), stream.size()), Z_OK) << test.Name;
    back.resize(size);
    EXPECT_EQ(back, test.Bytes) << test.Name;
  }
  // What repeats is matched: repeated rows take far fewer bytes than they hold.
  EXPECT_LT(QuickZlib(rows(321, 40), 321).size(), 321u * 4);
}

}  // namespace
}  // namespace tintrel
