// SPDX-License-Identifier: MIT
#include "text/short_text.h"

#include <algorithm>

namespace tintrel {

std::string ShortText(std::string_view text) {
  return std::string(text.substr(0, kShortTextMax));
}

std::string UpperCased(std::string_view text) {
  std::string upper = ShortText(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return upper;
}

std::string PadRightWith(std::string_view text, uint8_t width, char fill) {
  std::string padded(text.substr(0, width));
  padded.append(width - padded.size(), fill);
  return padded;
}

std::string PadLeftWith(std::string_view text, uint8_t width, char fill) {
  if (text.size() >= width) return std::string(text.substr(0, width));
  std::string padded(width - text.size(), fill);
  padded.append(text);
  return padded;
}

std::string StripTrailing(std::string_view text, char strip) {
  std::string_view kept = text.substr(0, kShortTextMax);
  while (!kept.empty() && kept.back() == strip) kept.remove_suffix(1);
  return std::string(kept);
}

std::string IntToText(int64_t number) {
  char digits[20];
  int length = 0;
  // Works on the magnitude as unsigned so the smallest value has no positive twin to overflow.
  uint64_t magnitude =
      number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
  do {
    digits[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text;
  if (number < 0) text.push_back('-');
  while (length > 0) text.push_back(digits[--length]);
  return text;
}

}  // namespace tintrel
