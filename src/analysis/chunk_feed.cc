// SPDX-License-Identifier: MIT
#include "analysis/chunk_feed.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "meta/sauce_info.h"
#include "packs/pack_source.h"
#include "scan/scanner.h"
#include "screen/screen.h"

namespace tintrel {

namespace {

// The end-of-text byte: the scan stops at the first one, and the art's digest covers what is in
// front of it.
constexpr uint8_t kEndOfArt = 26;

bool TakeChunk(void* feed, const uint8_t* bytes, std::size_t count) {
  return FeedChunk(*static_cast<ChunkFeed*>(feed), bytes, count);
}

// Keeps the last bytes of a stream, where its SAUCE record and comments stand.
void KeepTail(std::string& tail, std::span<const uint8_t> chunk) {
  if (chunk.size() >= kSauceTailMax) {
    tail.assign(reinterpret_cast<const char*>(chunk.data() + chunk.size() - kSauceTailMax),
                kSauceTailMax);
    return;
  }
  if (tail.size() + chunk.size() > 2 * kSauceTailMax)
    tail.erase(0, tail.size() + chunk.size() - kSauceTailMax);
  tail.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
}

}  // namespace

bool FeedChunk(ChunkFeed& feed, const uint8_t* bytes, std::size_t count) {
  if (feed.Scanning) feed.Scanning = !ScanChunk(feed.Scan, bytes, count);
  if (feed.Drawing != nullptr && FeedScreen(*feed.Drawing, bytes, count)) feed.Drawing = nullptr;
  return !feed.Scanning && feed.Drawing == nullptr;
}

void FinishFeed(ChunkFeed& feed) {
  FinishScan(feed.Scan);
  if (feed.Drawing != nullptr) FinishScreen(*feed.Drawing);
}

void ScanDrawAndDigest(Analysis& analysis, const FileHandle& file, DigestThread digest_thread,
                       TokenCache* cache, Screen* screen) {
  Scanner scanner(analysis.Scan, {}, cache);
  ChunkFeed feed{scanner, screen};
  FileDigest digest;
  ReadArt(analysis, file, digest_thread, {TakeChunk, &feed}, digest);
  if (analysis.ScanFault) return;
  FinishFeed(feed);
  FinishDigests(analysis, digest);
}

void ScanHeld(Analysis& analysis, SauceInfo& sauce, std::span<const uint8_t> bytes,
              TokenCache* cache) {
  Scanner scanner(analysis.Scan, {}, cache);
  analysis.Opened = true;
  if (!ScanChunk(scanner, bytes.data(), bytes.size())) FinishScan(scanner);
  const void* mark = std::memchr(bytes.data(), kEndOfArt, bytes.size());
  analysis.ScannedBytes =
      mark ? static_cast<uint64_t>(static_cast<const uint8_t*>(mark) - bytes.data()) : bytes.size();
  analysis.FileSize = bytes.size();
  const std::size_t tail = std::min(bytes.size(), kSauceTailMax);
  sauce = DecodeSauceTail({reinterpret_cast<const char*>(bytes.data() + bytes.size() - tail), tail},
                          bytes.size());
}

void AnalyseStream(Analysis& analysis, SauceInfo& sauce, MemberBytes& bytes, TokenCache* cache,
                   Screen* screen) {
  Scanner scanner(analysis.Scan, {}, cache);
  ChunkFeed feed{scanner, screen};
  FileDigest digest;
  analysis.Opened = true;
  bool art_wanted = true;
  std::string tail;
  for (;;) {
    std::span<const uint8_t> chunk;
    try {
      chunk = bytes.Next();
    } catch (Fault& fault) {
      return RecordReadFault(analysis, std::move(fault), feed.Scanning);
    }
    if (chunk.empty()) break;
    DigestBytes(digest, chunk.data(), chunk.size());
    if (art_wanted) art_wanted = !FeedChunk(feed, chunk.data(), chunk.size());
    KeepTail(tail, chunk);
  }
  FinishFeed(feed);
  FinishDigests(analysis, digest);
  sauce = DecodeSauceTail(tail, digest.Size);
}

}  // namespace tintrel
