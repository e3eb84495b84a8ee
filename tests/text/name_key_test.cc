// SPDX-License-Identifier: MIT
#include "text/name_key.h"

#include <gtest/gtest.h>

#include <string>

namespace tintrel {
namespace {

TEST(NameKey, SpellingsOfOneNameMeet) {
  struct Case {
    std::string name, key;
  } cases[] = {{"Blocktronics", "biocktronics"},
               {"BLOCKTRONICS", "biocktronics"},
               {"bL0CKtRONiCS", "biocktronics"},
               {"Block Tronics", "biocktronics"},
               {"  block-tronics. ", "biocktronics"},
               {"ACiD Productions", "acid"},
               {"ACiD PR0DUCTi0NS", "acid"},
               {"acid prods.", "acid"},
               {"Acid Art Inc.", "acid"},  // trailing words go one after another
               {"Mistigris Ltd", "mistigris"},
               {"1nk", "ink"},
               {"l33t", "ieet"},
               {"$ymbo1ic @rt", "symboiic"},
               {"Fire 2000", "fire2000"},  // a word of digits is a number
               {"Art", "art"},             // a trailing word alone is the name
               {"Team Art", "team"},
               {"caf\xc3\xa9 Crew", "caf\xc3\xa9"},
               {"", ""},
               {" - / ", ""}};
  for (const Case& c : cases) EXPECT_EQ(NameKey(c.name), c.key) << c.name;
}

}  // namespace
}  // namespace tintrel
