// SPDX-License-Identifier: MIT
#include "meta/file_digest.h"

#include <gtest/gtest.h>

#include <string>

#include "kit/md5_hex.h"

namespace tintrel {
namespace {

using testkit::Md5Hex;

// Feeds the bytes in pieces of `piece` bytes.
FileDigest Fed(const std::string& bytes, std::size_t piece) {
  FileDigest digest;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    DigestBytes(digest, reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                std::min(piece, bytes.size() - at));
  }
  return digest;
}

TEST(FileDigest, KnownDigests) {
  struct Case {
    std::string bytes;
    std::string hex;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) {
    FileDigest digest = Fed(c.bytes, 7);
    EXPECT_EQ(DigestToHex(FinishDigest(digest)), c.hex) << c.bytes;
  }
}

// Every byte counts, however the bytes come; the art is what stands in front of the first 26.
TEST(FileDigest, WholeFileAndArtInAnyPieces) {
  struct Case {
    std::string bytes;
    std::size_t art_size;
  } cases[] = {
      {"", 0},
      {"\x1a", 0},
      {"\x1b[31mart", 8},
      {"\x1b[31mart\x1a" + std::string("SAUCE00") + std::string(121, ' '), 8},
      {"ab\x1a\x1a"
       "cd",
       2},
      {std::string(70000, 'x') + "\x1a" + "tail", 70000},
  };
  for (const Case& c : cases) {
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{3}, std::size_t{4096}, c.bytes.size() + 1}) {
      FileDigest digest = Fed(c.bytes, piece);
      const std::string what =
          std::to_string(c.bytes.size()) + " bytes in " + std::to_string(piece) + "s";
      EXPECT_EQ(DigestToHex(FinishDigest(digest)), Md5Hex(c.bytes)) << what;
      EXPECT_EQ(digest.ArtSize, c.art_size) << what;
      EXPECT_EQ(DigestToHex(digest.Art), Md5Hex(c.bytes.substr(0, c.art_size))) << what;
    }
  }
}

TEST(FileDigest, HexIsHighHalfFirstInByteOrder) {
  Digest digest = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                   0xf0, 0x0f, 0x00, 0xff, 0x10, 0x01, 0xa5, 0x5a};
  EXPECT_EQ(DigestToHex(digest), "0123456789abcdeff00f00ff1001a55a");
}

}  // namespace
}  // namespace tintrel
