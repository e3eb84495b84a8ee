// SPDX-License-Identifier: MIT
#include "analysis/art_facts.h"

#include <algorithm>
#include <cstring>

#include "meta/sauce_types.h"
#include "scan/scanner.h"

namespace tintrel {

namespace {

// The end-of-text byte: the art ends at the first one.
constexpr uint8_t kEndOfArt = 26;

void KeepHead(ArtFacts& facts, std::span<const uint8_t> chunk) {
  const std::size_t take = std::min(chunk.size(), kHeadSize - facts.HeadSize);
  std::memcpy(facts.Head.data() + facts.HeadSize, chunk.data(), take);
  facts.HeadSize += take;
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

// What the finished screen shows, and the top of it when it is to be kept.
void TakeScreen(ArtFacts& facts, const ArtTools& tools) {
  const Screen& screen = tools.Drawing;
  facts.Shown = SummarizeScreen(screen);
  facts.Top.clear();
  facts.TopWidth = screen.Width;
  if (facts.Shown.Width == 0) return;
  const auto rows = static_cast<uint32_t>(
      std::min<uint64_t>({facts.Shown.Lines, StoredRows(screen), tools.TopLines}));
  const std::span<const Cell> cells(screen.Cells.data(), std::size_t{rows} * screen.Width);
  facts.Top.assign(cells.begin(), cells.end());
}

void Begin(ArtFacts& facts, const std::string& name) {
  facts.Scanned = Analysis{};
  facts.Scanned.Name = name;
  facts.Scanned.Opened = true;
  facts.HeadSize = 0;
}

}  // namespace

bool IsDrawnData(const SauceInfo& info) {
  return info.Present && (info.DataType == kCharacterData || info.DataType == kBinaryTextData);
}

uint32_t ScreenWidthFor(const SauceInfo& info) {
  if (!IsDrawnData(info) || !info.Width || *info.Width <= kDefaultScreenWidth)
    return kDefaultScreenWidth;
  return *info.Width;
}

void HeldFacts(ArtFacts& facts, const std::string& name, std::span<const uint8_t> bytes,
               ArtTools& tools) {
  // No bytes are still bytes somewhere: the C calls below want a pointer even for none.
  static constexpr uint8_t kNothing = 0;
  if (bytes.empty()) bytes = {&kNothing, 0};
  Begin(facts, name);
  Analysis& analysis = facts.Scanned;
  Scanner scanner(analysis.Scan, {}, &tools.Cache);
  if (!ScanChunk(scanner, bytes.data(), bytes.size())) FinishScan(scanner);
  const void* mark = std::memchr(bytes.data(), kEndOfArt, bytes.size());
  analysis.ScannedBytes =
      mark ? static_cast<uint64_t>(static_cast<const uint8_t*>(mark) - bytes.data()) : bytes.size();
  analysis.FileSize = bytes.size();
  const std::size_t tail = std::min(bytes.size(), kSauceTailMax);
  facts.Sauce = DecodeSauceTail(
      {reinterpret_cast<const char*>(bytes.data() + bytes.size() - tail), tail}, bytes.size());
  KeepHead(facts, bytes);
  ResetScreen(tools.Drawing, ScreenWidthFor(facts.Sauce));
  if (!FeedScreen(tools.Drawing, bytes.data(), bytes.size())) FinishScreen(tools.Drawing);
  TakeScreen(facts, tools);
}

void DigestHeld(ArtFacts& facts, std::span<const uint8_t> bytes) {
  FileDigest digest;
  DigestBytes(digest, bytes.data(), bytes.size());
  SetDigests(facts, FinishDigest(digest), digest.Art);
}

void SetDigests(ArtFacts& facts, const Digest& whole, const Digest& art) {
  facts.Scanned.FileMd5 = whole;
  facts.Scanned.ArtMd5 = art;
}

void StreamFacts(ArtFacts& facts, const std::string& name, const NextChunk& next,
                 const std::optional<SauceInfo>& known, ArtTools& tools) {
  Begin(facts, name);
  Analysis& analysis = facts.Scanned;
  ResetScreen(tools.Drawing, known ? ScreenWidthFor(*known) : kDefaultScreenWidth);
  Scanner scanner(analysis.Scan, {}, &tools.Cache);
  FileDigest digest;
  bool scanning = true, drawing = true;
  std::string tail;
  for (;;) {
    std::span<const uint8_t> chunk;
    try {
      chunk = next();
    } catch (Fault& fault) {
      // A read that fails while the scan still wants bytes is the scan's; after it, the digest's.
      (scanning ? analysis.ScanFault : analysis.DigestFault) = std::move(fault);
      return;
    }
    if (chunk.empty()) break;
    DigestBytes(digest, chunk.data(), chunk.size());
    KeepHead(facts, chunk);
    if (scanning) scanning = !ScanChunk(scanner, chunk.data(), chunk.size());
    if (drawing) drawing = !FeedScreen(tools.Drawing, chunk.data(), chunk.size());
    if (!known) KeepTail(tail, chunk);
  }
  FinishScan(scanner);
  if (drawing) FinishScreen(tools.Drawing);
  analysis.ScannedBytes = digest.ArtSize;
  analysis.FileMd5 = FinishDigest(digest);
  analysis.FileSize = digest.Size;
  analysis.ArtMd5 = digest.Art;
  facts.Sauce = known ? *known : DecodeSauceTail(tail, digest.Size);
  TakeScreen(facts, tools);
}

}  // namespace tintrel
