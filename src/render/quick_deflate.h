// SPDX-License-Identifier: MIT
// A zlib stream made in one pass for pictures of text: a byte's match is looked for only at the
// byte before it (a run of one colour) and at the row above it (a row repeated, as the rows of a
// glyph and of a drawing's background are), and everything is coded with deflate's fixed codes.
// It does a small share of a general deflate's work, and a drawing's pixels give it most of
// what the general one finds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tintrel {

// The zlib stream (header, one fixed-code block, Adler-32) of `data`, whose rows are `stride`
// bytes apart; a stride past deflate's 32 KiB window looks only at the byte before.
std::vector<uint8_t> QuickZlib(std::span<const uint8_t> data, std::size_t stride);

}  // namespace tintrel
