// SPDX-License-Identifier: MIT
#include "packs/pack_format.h"

#include <algorithm>
#include <cstring>

namespace tintrel {

namespace {

bool StartsWith(std::span<const uint8_t> head, std::string_view sign, std::size_t at = 0) {
  return head.size() >= at + sign.size() &&
         std::memcmp(head.data() + at, sign.data(), sign.size()) == 0;
}

// An LHA header: its size, a checksum, then the method "-lh5-", "-lz4-", "-lhd-" and the like.
bool IsLhaHeader(std::span<const uint8_t> head) {
  if (head.size() < 22 || head[0] == 0) return false;
  if (head[2] != '-' || head[3] != 'l' || head[6] != '-') return false;
  if (head[4] == 'h') return (head[5] >= '0' && head[5] <= '7') || head[5] == 'd';
  if (head[4] == 'z') return head[5] == 's' || head[5] == '4' || head[5] == '5';
  return false;
}

// A tar header: "ustar" at 257, or a checksum that adds up as the oldest tars wrote it.
bool IsTarHeader(std::span<const uint8_t> head) {
  if (head.size() < 512) return false;
  if (StartsWith(head, "ustar", 257)) return true;
  if (head[0] == 0) return false;
  // The checksum field: octal digits, then NUL or space; it counts itself as eight spaces.
  unsigned recorded = 0;
  std::size_t at = 148;
  while (at < 156 && head[at] == ' ') ++at;
  std::size_t digits = 0;
  for (; at < 156 && head[at] >= '0' && head[at] <= '7'; ++at, ++digits)
    recorded = recorded * 8 + (head[at] - '0');
  if (digits == 0 || (at < 156 && head[at] != 0 && head[at] != ' ')) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : head[i];
  return sum == recorded;
}

}  // namespace

PackFormat DetectPackFormat(std::span<const uint8_t> head) {
  using namespace std::string_view_literals;
  // A zip begins with a member, or is the end record of an empty one; "PK00" marks a zip once
  // meant to be split across disks that fitted on one.
  if (StartsWith(head, "PK\x03\x04"sv) || StartsWith(head, "PK\x05\x06"sv) ||
      StartsWith(head, "PK00PK\x03\x04"sv))
    return PackFormat::kZip;
  if (StartsWith(head, "Rar!\x1a\x07\x00"sv) || StartsWith(head, "Rar!\x1a\x07\x01\x00"sv))
    return PackFormat::kRar;
  if (StartsWith(head, "7z\xbc\xaf\x27\x1c"sv)) return PackFormat::kSevenZip;
  if (StartsWith(head, "\x1f\x8b\x08"sv)) return PackFormat::kGzip;
  if (StartsWith(head, "BZh"sv) && head.size() > 3 && head[3] >= '1' && head[3] <= '9')
    return PackFormat::kBzip2;
  if (StartsWith(head,
                 "\xfd"
                 "7zXZ\x00"sv))
    return PackFormat::kXz;
  if (StartsWith(head, "\x60\xea"sv) && head.size() >= 4) return PackFormat::kArj;
  if (IsLhaHeader(head)) return PackFormat::kLha;
  if (IsTarHeader(head)) return PackFormat::kTar;
  return PackFormat::kNone;
}

std::string_view PackFormatName(PackFormat format) {
  switch (format) {
    case PackFormat::kNone: return "plain";
    case PackFormat::kZip: return "ZIP";
    case PackFormat::kRar: return "RAR";
    case PackFormat::kSevenZip: return "7z";
    case PackFormat::kLha: return "LHA";
    case PackFormat::kTar: return "tar";
    case PackFormat::kGzip: return "gzip";
    case PackFormat::kBzip2: return "bzip2";
    case PackFormat::kXz: return "xz";
    case PackFormat::kArj: return "ARJ";
  }
  return "";
}

}  // namespace tintrel
