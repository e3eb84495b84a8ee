// SPDX-License-Identifier: MIT
#include "kit/md5_hex.h"

#include <nettle/md5.h>

#include <cstdint>
#include <cstdio>

namespace tintrel::testkit {

std::string Md5Hex(std::string_view bytes) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&context, sizeof digest, digest);
  std::string text;
  char pair[3];
  for (uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

}  // namespace tintrel::testkit
