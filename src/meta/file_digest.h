// The MD5 digest of a whole file, every byte from the first to the last, byte 26 and any SAUCE
// record included.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <thread>

namespace tintrel {

using Digest = std::array<uint8_t, 16>;

// A digest taken on a second thread while the scan reads the same file. Only large regular files
// get one: there, reading the file twice one pass after the other would cost the most, and reading
// it twice at once reads the same bytes. Leaving the scope stops and joins the thread.
struct EarlyDigest {
  Digest Value{};
  std::exception_ptr Failure;  // what the digest would have thrown
  // Last, so that it is destroyed first: leaving the scope stops and joins the thread before the
  // members it writes to are gone.
  std::jthread Worker;
};

// Regular files of this size and more get an early digest.
inline constexpr long kEarlyDigestSize = 512 * 1024;

// Starts the early digest of `name` when it is a regular file of kEarlyDigestSize bytes or more.
void StartEarlyDigest(EarlyDigest& early, const std::string& name);

// Reads the file to its end in 64 KiB blocks. A file that cannot be opened, or a read that fails,
// throws a FileError: a digest of bytes never read would report a failure as a result. With an
// early digest under way, waits for it instead and gives its result or throws its failure.
Digest FileDigest(const std::string& name, EarlyDigest* early = nullptr);

// 32 lowercase hexadecimal digits, high half of each byte first.
std::string DigestToHex(const Digest& digest);

}  // namespace tintrel
