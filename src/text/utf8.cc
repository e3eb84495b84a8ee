// SPDX-License-Identifier: MIT
#include "text/utf8.h"

namespace tintrel {

namespace {

// The length of a character from each lead byte, and the range its second byte takes.
struct Lead {
  uint8_t Length, Low, High;
};

constexpr Lead LeadOf(uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

Utf8Read ReadUtf8(const uint8_t* bytes, std::size_t size) {
  if (bytes[0] < 0x80) return {Utf8Read::kCharacter, 1, bytes[0]};
  const Lead lead = LeadOf(bytes[0]);
  if (lead.Length == 0) return {};
  char32_t code = bytes[0] & (0x7F >> lead.Length);
  for (std::size_t i = 1; i < lead.Length; ++i) {
    if (i == size) return {Utf8Read::kNeedMore, 1, 0};
    const uint8_t low = i == 1 ? lead.Low : 0x80, high = i == 1 ? lead.High : 0xBF;
    if (bytes[i] < low || bytes[i] > high) return {};
    code = code << 6 | (bytes[i] & 0x3F);
  }
  return {Utf8Read::kCharacter, lead.Length, code};
}

std::size_t Utf8SequenceAt(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const Utf8Read read = ReadUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return read.Outcome == Utf8Read::kCharacter ? read.Length : 0;
}

bool IsUtf8(std::string_view bytes) {
  return IsUtf8Text(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
}

bool IsUtf8Text(const uint8_t* bytes, std::size_t size, bool more_follow) {
  for (std::size_t at = 0; at < size;) {
    const Utf8Read read = ReadUtf8(bytes + at, size - at);
    if (read.Outcome == Utf8Read::kNeedMore) return more_follow;
    if (read.Outcome == Utf8Read::kInvalid) return false;
    at += read.Length;
  }
  return true;
}

}  // namespace tintrel
