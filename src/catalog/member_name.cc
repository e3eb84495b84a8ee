// SPDX-License-Identifier: MIT
#include "catalog/member_name.h"

namespace tintrel {

std::string CutMemberName(std::string_view name, std::string& warning) {
  warning.clear();
  if (name.size() <= kLongestMemberName) return std::string(name);
  std::size_t cut = kLongestMemberName;
  // Back to a character's first byte, so that the name stays UTF-8 when it was.
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80) --cut;
  warning = "name cut: " + std::to_string(name.size()) + " bytes, the first " +
            std::to_string(cut) + " kept";
  return std::string(name.substr(0, cut));
}

}  // namespace tintrel
