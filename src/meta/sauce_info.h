// SPDX-License-Identifier: MIT
// The whole SAUCE record of a file: every field decoded, the comment block in front of it, and
// warnings for what does not add up. Decoding is over bytes in memory and safe on any bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_handle.h"
#include "meta/sauce_record.h"

namespace tintrel {

inline constexpr std::size_t kCommentIdSize = 5;  // "COMNT"
inline constexpr std::size_t kCommentLineSize = 64;
inline constexpr std::size_t kMaxCommentLines = 255;

// All the decoder ever looks at: a record, the longest comment block, the byte 26 in front of
// it, and room for a second record in front of those.
inline constexpr std::size_t kSauceTailMax =
    kSauceSize + kCommentIdSize + kMaxCommentLines * kCommentLineSize + 1 + kSauceSize;

// The warning codes, in the order a record's warnings are listed.
inline constexpr std::array<std::string_view, 9> kSauceWarnings = {
    "no-eof-marker", "comments-missing", "filesize-mismatch", "bad-date",      "unknown-version",
    "unknown-type",  "reserved-flags",   "nul-padding",       "double-record",
};

struct SauceInfo {
  bool Present = false;              // the last 128 bytes begin with "SAUCE"
  SauceRecord Record{};              // the 128 bytes as found
  std::string Version;               // the two version bytes, decoded
  std::string Title, Author, Group;  // decoded to UTF-8
  std::string Date;                  // the eight date bytes as written, decoded
  std::string DateIso;               // "YYYY-MM-DD", or empty when Date is not a real CCYYMMDD date
  uint32_t FileSize = 0;
  uint8_t DataType = 0, FileType = 0;
  std::string_view DataTypeName, FileTypeName;    // from the tables; empty when not in them
  std::array<uint16_t, 4> TInfo{};                // TInfo1 to TInfo4
  std::optional<uint16_t> Width, Lines;           // in characters, where the type defines them
  std::optional<bool> IceColors;                  // Character and BinaryText only
  std::optional<std::string_view> LetterSpacing;  // "none", "8-pixel", "9-pixel", "invalid"
  std::optional<std::string_view> AspectRatio;    // "none", "legacy", "square", "invalid"
  std::string Font;                               // TInfoS decoded (NUL-terminated name)
  std::vector<std::string> Comments;              // decoded comment lines
  std::vector<std::string> RawComments;           // the 64-byte lines as found
  std::vector<std::string_view> Warnings;         // codes of kSauceWarnings, in its order

  bool operator==(const SauceInfo&) const = default;
};

// Decodes the record that ends `tail`, the last bytes of a file of `file_size` bytes (taken as
// tail.size() when smaller). A tail of kSauceTailMax bytes, or of the whole file, holds all
// there is to see; with fewer, the bytes in front of it count as not there. Text fields lose
// their padding of spaces and NULs, show a NUL inside as a space, and become UTF-8.
SauceInfo DecodeSauceTail(std::string_view tail, uint64_t file_size);

// Reads the file's tail with one read from the end and decodes it. A file with no end (a pipe)
// or shorter than a record has none. Takes no lock: the caller holds one. A failed read throws.
SauceInfo ReadSauceInfo(const FileHandle& file, const std::string& name);

}  // namespace tintrel
