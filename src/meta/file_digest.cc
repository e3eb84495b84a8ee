#include "meta/file_digest.h"

#include <fcntl.h>
#include <nettle/md5.h>
#include <unistd.h>

#include <cerrno>

#include "output/unhandled_error.h"

namespace tintrel {

namespace {

constexpr std::size_t kDigestBlockSize = 65536;

// Feeds every byte to the digest. Only a read of 0 bytes ends the file: pipes and network file
// systems hand out short reads in the middle.
void DigestAll(int fd, const std::string& name, md5_ctx& context) {
  std::array<uint8_t, kDigestBlockSize> block;
  for (;;) {
    ssize_t count = read(fd, block.data(), block.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) ThrowFileError("read", name, errno);
    if (count == 0) return;
    md5_update(&context, static_cast<std::size_t>(count), block.data());
  }
}

}  // namespace

Digest FileDigest(const std::string& name) {
  md5_ctx context;
  md5_init(&context);
  int fd;
  do {
    fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowFileError("open", name, 0);
  try {
    DigestAll(fd, name, context);
  } catch (...) {
    close(fd);
    throw;
  }
  if (close(fd) != 0 && errno != EINTR) ThrowFileError("close", name, errno);
  Digest digest;
  md5_digest(&context, digest.size(), digest.data());
  return digest;
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
