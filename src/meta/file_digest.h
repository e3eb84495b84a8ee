// SPDX-License-Identifier: MIT
// The MD5 digest of a whole file, fed with its bytes as they are read: every byte from the first
// to the last, byte 26 and any SAUCE record included. On the way it also takes the digest of the
// art alone, the bytes in front of the first byte 26, which rewriting a SAUCE record leaves alone.
#pragma once

#include <nettle/md5.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tintrel {

using Digest = std::array<uint8_t, 16>;

struct FileDigest {
  md5_ctx Whole;
  uint64_t Size = 0;      // bytes fed so far
  uint64_t ArtSize = 0;   // bytes in front of the first byte 26, so far
  bool ArtEnded = false;  // the first byte 26 was seen; Art holds the art's digest
  Digest Art{};

  FileDigest() { md5_init(&Whole); }
};

// Feeds the next bytes of the file.
void DigestBytes(FileDigest& digest, const uint8_t* bytes, std::size_t size);

// The digest of every byte fed. Without a byte 26 the art is the whole file.
Digest FinishDigest(FileDigest& digest);

// 32 lowercase hexadecimal digits, high half of each byte first.
std::string DigestToHex(const Digest& digest);

}  // namespace tintrel
