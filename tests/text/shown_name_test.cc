// SPDX-License-Identifier: MIT
#include "text/shown_name.h"

#include <gtest/gtest.h>

#include <string>

namespace tintrel {
namespace {

TEST(ShownName, QuotesWhatWouldActOnTheTerminalAsGnuLsDoes) {
  const struct {
    std::string Name, Shown;
  } cases[] = {
      {"art/ok file.ans", "art/ok file.ans"},
      {"caf\xc3\xa9.ans", "caf\xc3\xa9.ans"},
      {"a\x1b]0;x\x07"
       "b",
       "'a'$'\\033'']0;x'$'\\a''b'"},
      {"it's\tme", "'it'\\''s'$'\\t''me'"},
      {"bad\xff\xc2\x9bok", "'bad'$'\\377\\302\\233''ok'"},
      {"\x7f", "$'\\177'"},
      {"cut\xe2\x82", "'cut'$'\\342\\202'"},
      {"\xc2\xa0", "\xc2\xa0"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownName(c.Name), c.Shown) << c.Shown;
}

}  // namespace
}  // namespace tintrel
