// SPDX-License-Identifier: MIT
// The volumes of a split zip (zip -s): art.z01, art.z02, ... and art.zip, of which none is a pack
// alone. The first starts with the spanning mark, the last ends with an end record that counts
// disks (after a comment only in a file named .zip), and those between are told by their name
// beside such a last one.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/file_handle.h"

namespace tintrel {

// Why the file is a volume of a split zip, as its error row says it, or an empty text. `held` is
// all of the file when it was read whole; otherwise its end is read from `file`.
std::string SplitZipVolume(const std::string& path, const FileHandle& file, uint64_t size,
                           std::span<const uint8_t> held);

}  // namespace tintrel
