// The MD5 digest of a whole file, every byte from the first to the last, byte 26 and any SAUCE
// record included.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tintrel {

using Digest = std::array<uint8_t, 16>;

// Reads the file to its end in 64 KiB blocks. A file that cannot be opened, or a read that fails,
// throws a FileError: a digest of bytes never read would report a failure as a result.
Digest FileDigest(const std::string& name);

// 32 lowercase hexadecimal digits, high half of each byte first.
std::string DigestToHex(const Digest& digest);

}  // namespace tintrel
