// SPDX-License-Identifier: MIT
#include "meta/file_digest.h"

#include <cstring>

namespace tintrel {

namespace {

// The end-of-text byte: the colour scan stops at the first one.
constexpr uint8_t kEndOfArt = 26;

Digest DigestSoFar(const md5_ctx& context) {
  md5_ctx copy = context;
  Digest digest;
  md5_digest(&copy, digest.size(), digest.data());
  return digest;
}

}  // namespace

void DigestBytes(FileDigest& digest, const uint8_t* bytes, std::size_t size) {
  if (size == 0) return;  // an empty member's bytes may be no pointer at all, which memchr refuses
  digest.Size += size;
  if (!digest.ArtEnded) {
    const void* mark = std::memchr(bytes, kEndOfArt, size);
    if (mark != nullptr) {
      auto art = static_cast<std::size_t>(static_cast<const uint8_t*>(mark) - bytes);
      md5_update(&digest.Whole, art, bytes);
      digest.Art = DigestSoFar(digest.Whole);
      digest.ArtSize += art;
      digest.ArtEnded = true;
      bytes += art;
      size -= art;
    } else {
      digest.ArtSize += size;
    }
  }
  md5_update(&digest.Whole, size, bytes);
}

Digest FinishDigest(FileDigest& digest) {
  Digest whole = DigestSoFar(digest.Whole);
  if (!digest.ArtEnded) {
    digest.Art = whole;
    digest.ArtEnded = true;
  }
  return whole;
}

std::string DigestToHex(const Digest& digest) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * digest.size());
  for (uint8_t byte : digest) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace tintrel
