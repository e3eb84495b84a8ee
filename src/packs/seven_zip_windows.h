// SPDX-License-Identifier: MIT
// What a 7z pack asks of memory, read from its headers before libarchive reads it: libarchive
// allocates whatever window a coder's properties name, so a patched header could ask gigabytes.
#pragma once

#include <string>

#include "packs/pack_source.h"

namespace tintrel {

// The largest window (LZMA, LZMA2) or model (PPMd) a 7z member may use, as for ZIP's LZMA.
inline constexpr uint64_t kLargestSevenZipWindow = 64 << 20;

// Why the pack asks for more memory than the limit, as its row says it; an empty text when it
// does not, or when its headers cannot be read here (libarchive then says what is wrong).
std::string SevenZipWindowProblem(const PackSource& source);

}  // namespace tintrel
