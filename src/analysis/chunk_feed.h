// SPDX-License-Identifier: MIT
// The art's bytes to the scan and the screen together, for the catalogue: a file on disk, bytes
// held whole in memory, or a pack's member as it expands. tintrel scans alone (analysis.h) and
// carries no screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "analysis/analysis.h"

namespace tintrel {

struct MemberBytes;
struct SauceInfo;
struct Scanner;
struct Screen;
struct TokenCache;

// The readers of one file's chunks: the scan, and the screen when there is one, each until its
// art has ended at a byte 26.
struct ChunkFeed {
  Scanner& Scan;
  Screen* Drawing = nullptr;
  bool Scanning = true;
};

// Hands the chunk to every reader that still wants bytes; true once none does.
bool FeedChunk(ChunkFeed& feed, const uint8_t* bytes, std::size_t count);

// The scan and the screen, each finished where the art did not end at a byte 26.
void FinishFeed(ChunkFeed& feed);

// ScanAndDigest, with the screen (reset by the caller for the file) fed the same chunks.
void ScanDrawAndDigest(Analysis& analysis, const FileHandle& file, DigestThread digest_thread,
                       TokenCache* cache, Screen* screen);

// Bytes held whole in memory, a file's or a member's: the scan, the size and the art's end, and
// the whole record decoded from the last bytes. The digests are the caller's, who may take
// those of several files at once.
void ScanHeld(Analysis& analysis, SauceInfo& sauce, std::span<const uint8_t> bytes,
              TokenCache* cache);

// A pack's member too large to hold, analysed from its bytes as they expand: the scan, both
// digests and the screen (reset by the caller) as for a file, and the whole record decoded from
// its last bytes, which are kept as they pass. A fault the bytes throw (a damaged member) is the
// scan's or the digest's, as a failed read of a file is.
void AnalyseStream(Analysis& analysis, SauceInfo& sauce, MemberBytes& bytes, TokenCache* cache,
                   Screen* screen);

}  // namespace tintrel
