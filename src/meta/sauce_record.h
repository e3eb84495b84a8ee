// SPDX-License-Identifier: MIT
// The SAUCE record: 128 bytes of metadata (title, author, group, date...) that art files often
// carry as their last bytes. Only the identifier is checked and only four text fields are used.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "io/file_handle.h"

namespace tintrel {

inline constexpr std::size_t kSauceSize = 128;

// The block byte for byte as found in the file. Text fields are fixed-width, not NUL-ended, and
// may hold any byte; numbers are little-endian and kept as their bytes.
struct SauceRecord {
  std::array<char, 5> Id{};  // "SAUCE"
  std::array<char, 2> Version{};
  std::array<char, 35> Title{};
  std::array<char, 20> Author{};
  std::array<char, 20> Group{};
  std::array<char, 8> Date{};  // CCYYMMDD, never parsed
  std::array<uint8_t, 4> FileSize{};
  uint8_t DataType = 0;
  uint8_t FileType = 0;
  std::array<uint8_t, 2> TInfo1{}, TInfo2{}, TInfo3{}, TInfo4{};
  uint8_t Comments = 0;
  uint8_t TFlags = 0;
  std::array<char, 22> TInfoS{};

  bool operator==(const SauceRecord&) const = default;
};
static_assert(sizeof(SauceRecord) == kSauceSize);

// A field's text: every byte of it, NULs and padding included.
template <std::size_t N>
std::string_view FieldText(const std::array<char, N>& field) {
  return {field.data(), N};
}

// The file's last 128 bytes when they begin with "SAUCE"; none when they do not, or when the
// file has no end to count back from (a pipe). Takes a shared lock first: another process's
// exclusive lock, or a failed read, is a FileError.
std::optional<SauceRecord> ReadSauce(const FileHandle& file, const std::string& name);

}  // namespace tintrel
