// SPDX-License-Identifier: MIT
#include "catalog/member_name.h"

namespace tintrel {

std::string CutMemberName(std::string_view stored, std::string& warning) {
  warning.clear();
  std::string shown;
  if (stored.find('\0') != std::string_view::npos) {
    // SQLite's tools and C strings end a name at NUL: every table shows it as U+2400 instead.
    for (char byte : stored)
      shown += byte == '\0' ? std::string_view("\xe2\x90\x80") : std::string_view(&byte, 1);
    stored = shown;
  }
  const std::string_view name = stored;
  if (name.size() <= kLongestMemberName) return std::string(name);
  std::size_t cut = kLongestMemberName;
  // Back to a character's first byte, so that the name stays UTF-8 when it was.
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80) --cut;
  warning = "name cut: " + std::to_string(name.size()) + " bytes, the first " +
            std::to_string(cut) + " kept";
  return std::string(name.substr(0, cut));
}

}  // namespace tintrel
