// SPDX-License-Identifier: MIT
#include "text/cp437.h"

#include <gtest/gtest.h>

#include <locale>
#include <set>

namespace tintrel {
namespace {

TEST(Cp437, BytesDecodeToTheirGlyphs) {
  EXPECT_EQ(
      Cp437ToUtf8(" ~\x01\x03\x10\x1a\x7f\x80\x9e\xb0\xb3\xdb\xdf\xe0\xfe\xff"),
      " ~\u263A\u2665\u25BA\u2192\u2302\u00C7\u20A7\u2591\u2502\u2588\u2580\u03B1\u25A0\u00A0");
}

// Read back by the standard converter; a repeated row would give two bytes one character.
TEST(Cp437, EveryByteIsOneValidCharacterOfItsOwn) {
  using Utf8 = std::codecvt<char32_t, char8_t, std::mbstate_t>;
  std::set<char32_t> seen;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string text = Cp437ToUtf8(std::string(1, static_cast<char>(byte)));
    const auto* from = reinterpret_cast<const char8_t*>(text.data());
    const char8_t* from_end;
    char32_t point[2] = {}, *point_end;
    std::mbstate_t state{};
    ASSERT_EQ(std::use_facet<Utf8>(std::locale::classic())
                  .in(state, from, from + text.size(), from_end, point, point + 2, point_end),
              Utf8::ok);
    EXPECT_EQ(point_end - point, 1) << byte;
    seen.insert(point[0]);
  }
  EXPECT_EQ(seen.size(), 256u);
}

}  // namespace
}  // namespace tintrel
