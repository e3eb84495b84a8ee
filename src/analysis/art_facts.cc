// SPDX-License-Identifier: MIT
#include "analysis/art_facts.h"

#include <algorithm>
#include <cstring>

#include "formats/readers.h"
#include "meta/sauce_facts.h"
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

// A stream's bytes gathered for a format's reader, at most: far beyond any art of cells.
constexpr std::size_t kGatherMax = std::size_t{64} << 20;

// A stream's first bytes that recognition reads, as much as it reads of held bytes.
constexpr std::size_t kSampleMax = 16 * 1024;

// What the finished screen shows, and the top of it when it is to be kept.
void TakeScreen(ArtFacts& facts, const Screen& screen, const ScreenLook& look, ArtTools& tools) {
  const uint32_t top_lines = tools.TopLines;
  facts.Shown = SummarizeScreen(screen);
  facts.Print = PrintScreen(screen, facts.Shown, look, tools.Print);
  facts.Top.clear();
  facts.TopColors.clear();
  facts.TopWidth = screen.Width;
  if (facts.Shown.Width == 0) return;
  const auto rows =
      static_cast<uint32_t>(std::min<uint64_t>({facts.Shown.Lines, StoredRows(screen), top_lines}));
  const std::size_t count = std::size_t{rows} * screen.Width;
  facts.Top.assign(screen.Cells.begin(), screen.Cells.begin() + static_cast<std::ptrdiff_t>(count));
  if (screen.TrueColor)
    facts.TopColors.assign(screen.TrueColors.begin(),
                           screen.TrueColors.begin() + static_cast<std::ptrdiff_t>(count));
}

void Begin(ArtFacts& facts, const std::string& name) {
  facts.Scanned = Analysis{};
  facts.Scanned.Name = name;
  facts.Scanned.Opened = true;
  facts.HeadSize = 0;
  facts.Print = {};
  facts.OwnCells = false;
  facts.FormatFault.reset();
  facts.Palette.reset();
  facts.Font = {};
  facts.TopBanks.clear();
}

// The name's extension, lower case, without the dot.
std::string ExtensionOf(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return extension;
}

// The art read by its format's reader: its screen, its tally and what it adds to the pictures.
void ReadOwnCells(ArtFacts& facts, std::span<const uint8_t> art, const SauceFacts& sauce,
                  ArtTools& tools) {
  facts.OwnCells = true;
  Drawing& drawing = tools.Cells;
  try {
    ReadDrawing(drawing, facts.Format, art, sauce);
  } catch (Fault& fault) {
    facts.FormatFault = std::move(fault);
    return;
  }
  facts.Tally = TallyOf(drawing);
  const ScreenLook look{drawing.Palette ? &*drawing.Palette : nullptr, &drawing.Font,
                        drawing.FontBanks};
  TakeScreen(facts, drawing.Grid, look, tools);
  facts.Shown.Ice = facts.Shown.Ice || drawing.Ice;
  if (tools.TopLines == 0) return;
  facts.Palette = drawing.Palette;
  if (drawing.Font.Height != 0) facts.Font = drawing.Font;
  if (!drawing.FontBanks.empty())
    facts.TopBanks.assign(
        drawing.FontBanks.begin(),
        drawing.FontBanks.begin() + static_cast<std::ptrdiff_t>(facts.Top.size()));
}

Digest DigestOf(std::span<const uint8_t> bytes) {
  FileDigest digest;
  DigestBytes(digest, bytes.data(), bytes.size());
  return FinishDigest(digest);
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
  const SauceFacts sauce = SauceFactsOf(facts.Sauce);
  facts.Format = RecognizeFormat(bytes, sauce, ExtensionOf(name));
  const std::span<const uint8_t> art = ArtBytes(facts.Format, bytes, sauce);
  facts.ArtSize = art.size();
  if (ReadsOwnCells(facts.Format)) return ReadOwnCells(facts, art, sauce, tools);
  ResetScreen(tools.Drawing, ScreenWidthFor(facts.Sauce));
  if (HasScreen(facts.Format) && !FeedScreen(tools.Drawing, art.data(), art.size()))
    FinishScreen(tools.Drawing);
  TakeScreen(facts, tools.Drawing, {}, tools);
}

void DigestHeld(ArtFacts& facts, std::span<const uint8_t> bytes) {
  SetDigests(facts, DigestOf(bytes), DigestOf(bytes.first(facts.ArtSize)));
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
  // The digest and the screen are fed the bytes once they lie further from the end than a record
  // and its comments reach, so that the art they are given ends where the record begins.
  FileDigest digest;
  std::string behind;
  bool scanning = true, drawing = true;
  tools.Gathered.clear();
  tools.Sample.clear();
  bool gathered = true;
  auto feed = [&](const uint8_t* bytes, std::size_t size) {
    DigestBytes(digest, bytes, size);
    if (drawing) drawing = !FeedScreen(tools.Drawing, bytes, size);
  };
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
    KeepHead(facts, chunk);
    if (scanning) scanning = !ScanChunk(scanner, chunk.data(), chunk.size());
    const std::size_t sample = std::min(chunk.size(), kSampleMax - tools.Sample.size());
    tools.Sample.insert(tools.Sample.end(), chunk.begin(), chunk.begin() + sample);
    // With the record read ahead the sample decides the format as soon as it is whole: the bytes
    // are gathered only for a format's reader.
    if (known && sample != 0 && tools.Sample.size() == kSampleMax) {
      SauceFacts ahead = SauceFactsOf(*known);
      ahead.TailSize = 0;
      gathered = gathered && ReadsOwnCells(RecognizeFormat(tools.Sample, ahead, ExtensionOf(name)));
    }
    gathered = gathered && tools.Gathered.size() + chunk.size() <= kGatherMax;
    if (gathered) {
      tools.Gathered.insert(tools.Gathered.end(), chunk.begin(), chunk.end());
    } else {
      std::vector<uint8_t>().swap(tools.Gathered);
    }
    behind.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    if (behind.size() > kSauceTailMax) {
      const std::size_t ahead = behind.size() - kSauceTailMax;
      feed(reinterpret_cast<const uint8_t*>(behind.data()), ahead);
      behind.erase(0, ahead);
    }
  }
  FinishScan(scanner);
  const uint64_t size = digest.Size + behind.size();
  facts.Sauce = known ? *known : DecodeSauceTail(behind, size);
  analysis.FileSize = size;
  const SauceFacts sauce = SauceFactsOf(facts.Sauce);
  // The sample is the whole file only when the stream was that short.
  SauceFacts sampled = sauce;
  if (size > tools.Sample.size()) sampled.TailSize = 0;
  facts.Format = RecognizeFormat(tools.Sample, sampled, ExtensionOf(name));

  const uint64_t before_record = size - std::min<uint64_t>(sauce.TailSize, size);
  const std::size_t art_behind = static_cast<std::size_t>(
      std::min<uint64_t>(before_record - std::min(before_record, digest.Size), behind.size()));
  feed(reinterpret_cast<const uint8_t*>(behind.data()), art_behind);
  if (IsTextArt(facts.Format) && digest.ArtEnded) {
    analysis.ArtMd5 = digest.Art;
    facts.ArtSize = digest.ArtSize;
  } else {
    md5_ctx copy = digest.Whole;
    md5_digest(&copy, analysis.ArtMd5.size(), analysis.ArtMd5.data());
    facts.ArtSize = digest.Size;
  }
  DigestBytes(digest, reinterpret_cast<const uint8_t*>(behind.data()) + art_behind,
              behind.size() - art_behind);
  analysis.FileMd5 = FinishDigest(digest);
  analysis.ScannedBytes = digest.ArtSize;

  if (ReadsOwnCells(facts.Format)) {
    if (!gathered) {
      facts.OwnCells = true;
      facts.FormatFault =
          FormatError("art of " + std::string(FormatName(facts.Format)) + " over 64 MiB");
      return;
    }
    const std::span<const uint8_t> art = ArtBytes(facts.Format, tools.Gathered, sauce);
    if (facts.Format == ArtFormat::kAvatar) {
      facts.ArtSize = art.size();
      analysis.ArtMd5 = DigestOf(art);
    }
    ReadOwnCells(facts, art, sauce, tools);
    std::vector<uint8_t>().swap(tools.Gathered);
    return;
  }
  std::vector<uint8_t>().swap(tools.Gathered);
  if (drawing) FinishScreen(tools.Drawing);
  if (!HasScreen(facts.Format)) ResetScreen(tools.Drawing);
  TakeScreen(facts, tools.Drawing, {}, tools);
}

}  // namespace tintrel
