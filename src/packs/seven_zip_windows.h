// SPDX-License-Identifier: MIT
// What a 7z pack asks of memory, read from its headers before libarchive reads it: libarchive
// allocates whatever window a coder's properties name, so a patched header could ask gigabytes.
#pragma once

#include <string>

#include "packs/pack_source.h"

namespace tintrel {

// The largest window (LZMA, LZMA2) or model (PPMd) a 7z member may use, as for ZIP's LZMA.
inline constexpr uint64_t kLargestSevenZipWindow = 64 << 20;

// Why the pack asks for more memory than the limit, or why its windows cannot be checked, as its
// row says it; an empty text when it asks for no more, or holds no streams.
std::string SevenZipWindowProblem(const PackSource& source);

}  // namespace tintrel
