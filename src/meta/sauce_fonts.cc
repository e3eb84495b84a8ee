// SPDX-License-Identifier: MIT
#include "meta/sauce_fonts.h"

#include <optional>
#include <utility>

namespace tintrel {

namespace {

// A code page as the names spell it, and the shipped code page that draws it: itself, or the
// nearest (855 for 872, which adds only the euro; 437 for the rest).
struct CodePageName {
  std::string_view Name, Drawn;
  bool Shipped;
};
constexpr CodePageName kCodePageNames[] = {
    {"437", "CP437", true},      {"737", "CP737", true},  {"775", "CP775", true},
    {"819", "ISO-8859-1", true}, {"850", "CP850", true},  {"852", "CP852", true},
    {"855", "CP855", true},      {"857", "CP857", true},  {"858", "CP858", true},
    {"860", "CP860", true},      {"861", "CP861", true},  {"862", "CP862", true},
    {"863", "CP863", true},      {"865", "CP865", true},  {"866", "CP866", true},
    {"869", "CP869", true},      {"MIK", "MIK", true},    {"720", "CP437", false},
    {"864", "CP437", false},     {"872", "CP855", false}, {"KAM", "CP437", false},
    {"867", "CP437", false},     {"895", "CP437", false}, {"MAZ", "CP437", false},
    {"667", "CP437", false},     {"790", "CP437", false}, {"991", "CP437", false},
};

// The IBM sizes by name, and the height each is drawn at: VGA25G's 19 lines are not shipped.
struct SizeName {
  std::string_view Name;
  uint8_t Drawn;
  bool Shipped;
};
constexpr SizeName kSizeNames[] = {
    {"VGA", 16, true}, {"VGA50", 8, true}, {"VGA25G", 16, false},
    {"EGA", 14, true}, {"EGA43", 8, true},
};

// The other machines' fonts, none of them shipped but Topaz 1, drawn at their own 16 or 8 lines.
constexpr std::string_view kAmigaNames[] = {
    "Amiga Topaz 1",    "Amiga Topaz 1+",    "Amiga Topaz 2",      "Amiga Topaz 2+",
    "Amiga P0T-NOoDLE", "Amiga MicroKnight", "Amiga MicroKnight+", "Amiga mOsOul",
};
constexpr std::string_view kEightLineNames[] = {"C64 PETSCII unshifted", "C64 PETSCII shifted",
                                                "Atari ATASCII"};

constexpr bool IsShipped(std::string_view code_page) {
  for (std::string_view shipped : kShippedCodePages) {
    if (shipped == code_page) return true;
  }
  return false;
}
static_assert([] {
  for (const CodePageName& page : kCodePageNames) {
    if (!IsShipped(page.Drawn)) return false;
  }
  return true;
}());

constexpr std::size_t FontOf(std::string_view code_page, uint8_t height) {
  std::size_t page = 0, size = 0;
  while (kShippedCodePages[page] != code_page) ++page;
  while (kShippedHeights[size] != height) ++size;
  return page * kShippedHeights.size() + size;
}

std::optional<FontChoice> IbmFont(std::string_view name) {
  if (!name.starts_with("IBM ")) return std::nullopt;
  name.remove_prefix(4);
  const std::size_t space = name.find(' ');
  const std::string_view size_name = name.substr(0, space);
  const std::string_view page_name =
      space == std::string_view::npos ? "437" : name.substr(space + 1);
  for (const SizeName& size : kSizeNames) {
    if (size.Name != size_name) continue;
    for (const CodePageName& page : kCodePageNames) {
      if (page.Name == page_name)
        return FontChoice{FontOf(page.Drawn, size.Drawn), !(size.Shipped && page.Shipped)};
    }
    return FontChoice{FontOf("CP437", size.Drawn), true};
  }
  return std::nullopt;
}

}  // namespace

FontChoice ChooseFont(std::string_view sauce_name) {
  if (sauce_name.empty()) return {};
  if (std::optional<FontChoice> ibm = IbmFont(sauce_name)) return *ibm;
  for (std::string_view amiga : kAmigaNames) {
    if (amiga == sauce_name) return {kTopazFont, amiga != kAmigaNames[0]};
  }
  for (std::string_view eight : kEightLineNames) {
    if (eight == sauce_name) return {FontOf("CP437", 8), true};
  }
  return {0, true};
}

}  // namespace tintrel
