#include "meta/file_digest.h"

#include <nettle/md5.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output/unhandled_error.h"
#include "scan/file_reader.h"

namespace tintrel {

namespace {

constexpr std::size_t kDigestBlockSize = 65536;

// Feeds every byte to the digest. Only a read of 0 bytes ends the file: pipes and network file
// systems hand out short reads in the middle. A stop request ends the reading early; the digest of
// a stopped reading is never used.
void DigestAll(int fd, const std::string& name, md5_ctx& context, std::stop_token stop) {
  std::array<uint8_t, kDigestBlockSize> block;
  while (std::size_t count = ReadSome(fd, block.data(), block.size(), name)) {
    md5_update(&context, count, block.data());
    if (stop.stop_requested()) return;
  }
}

Digest TakeDigest(const std::string& name, std::stop_token stop) {
  md5_ctx context;
  md5_init(&context);
  int fd = OpenForReading(name);
  if (fd < 0) ThrowFileError("open", name, 0);
  try {
    DigestAll(fd, name, context, stop);
  } catch (...) {
    close(fd);
    throw;
  }
  CloseFile(fd, name);
  Digest digest;
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

}  // namespace

void StartEarlyDigest(EarlyDigest& early, const std::string& name) {
  struct stat status;
  if (stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < kEarlyDigestSize)
    return;
  early.Worker = std::jthread([&early, name](std::stop_token stop) {
    try {
      early.Value = TakeDigest(name, stop);
    } catch (...) {
      early.Failure = std::current_exception();
    }
  });
}

Digest FileDigest(const std::string& name, EarlyDigest* early) {
  if (early == nullptr || !early->Worker.joinable()) return TakeDigest(name, {});
  early->Worker.join();
  if (early->Failure) std::rethrow_exception(early->Failure);
  return early->Value;
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
