// SPDX-License-Identifier: MIT
// Which kind of pack a file is, told by its first bytes, never by its name: an HTML page saved
// as "art.zip" is a plain file, and a zip named "art.ans" is a pack.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tintrel {

enum class PackFormat : uint8_t {
  kNone,  // a plain file
  kZip,
  kRar,
  kSevenZip,
  kLha,
  kTar,
  kGzip,   // a tar inside, or one compressed file
  kBzip2,  // likewise
  kXz,     // likewise
  kArj,    // recognised, not read
};

// The bytes DetectPackFormat wants: a tar header is the longest sign it reads.
inline constexpr std::size_t kPackSignatureSize = 512;

// The format of a file or member that begins with `head` (its first kPackSignatureSize bytes, or
// all of it when it is shorter).
PackFormat DetectPackFormat(std::span<const uint8_t> head);

// The format's name as messages give it: "ZIP", "RAR", "7z", "LHA", "tar", "gzip", ...
std::string_view PackFormatName(PackFormat format);

}  // namespace tintrel
