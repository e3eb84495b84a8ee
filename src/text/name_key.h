// SPDX-License-Identifier: MIT
// The key a group's or an artist's name is compared by, so that the spellings one name is given
// across a collection meet: "Blocktronics", "BLOCKTRONICS" and "bL0CKtRONiCS" have one key.
#pragma once

#include <string>
#include <string_view>

namespace tintrel {

// The name folded: letters lower-cased; inside a word that has a letter, the digits and signs
// written for letters read as those letters (0 o, 1 i, 3 e, 4 a, 5 s, 7 t, 8 b, $ s, @ a), and
// l read as i, since 1 stands for either; the words joined without what stood between them
// (spaces, punctuation); trailing words such as "productions", "inc" or "art" left out while
// another word stays. Bytes above 127 stay as they are. Empty for a name with no letter or digit.
std::string NameKey(std::string_view name);

}  // namespace tintrel
