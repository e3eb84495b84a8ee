// SPDX-License-Identifier: MIT
// SAUCE records built byte by byte, as an art file would end with them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tintrel::testkit {

// The defaults make a record with nothing to warn about, but for the missing byte 26 in front.
struct SauceFields {
  std::string_view Title{}, Author{}, Group{}, Date = "19960704";
  std::string_view Id = "SAUCE";
  std::string_view Version = "00";
  uint32_t FileSize = 0;
  uint8_t DataType = 0, FileType = 0;
  std::array<uint16_t, 4> TInfo{};
  uint8_t Comments = 0, TFlags = 0;
  std::string_view TInfoS{};  // filled up with NULs
};

// 128 bytes: each field at its offset, cut to its width and filled up with `pad`; numbers
// little-endian.
std::string SauceBytes(const SauceFields& fields, char pad = ' ');

// "COMNT" and the lines, each cut or filled up with spaces to 64 bytes.
std::string CommentBlock(const std::vector<std::string_view>& lines);

}  // namespace tintrel::testkit
