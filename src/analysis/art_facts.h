// SPDX-License-Identifier: MIT
// What a file's bytes say, as one value: the scan, the size and both digests, the whole SAUCE
// record, and what the screen shows. The catalogue makes a row and a picture from this value
// alone, whether the bytes lay on disk, were held for the MD5 lanes or were a pack's member, so
// the same bytes give the same row whichever way they came. It is built one of two ways: from
// bytes held whole in memory, or from a stream of chunks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/screen_digest.h"
#include "formats/drawing.h"
#include "meta/sauce_info.h"
#include "scan/quick_steps.h"
#include "screen/screen.h"

namespace tintrel {

// The first bytes kept of every file: a NUL among them tells a binary from drawn text.
inline constexpr std::size_t kHeadSize = 512;

struct ArtFacts {
  Analysis Scanned;  // the scan and the size; the digests once they are taken
  SauceInfo Sauce;
  ScreenSummary Shown;
  ScreenPrint Print;  // taken from the whole stored screen, whether or not Top is kept
  std::array<uint8_t, kHeadSize> Head{};
  std::size_t HeadSize = 0;
  // The top rows of the drawing, TopWidth cells each, when the tools keep them: a picture is drawn
  // from them after the screen has gone on to other files.
  std::vector<Cell> Top;
  uint32_t TopWidth = 0;

  ArtFormat Format = ArtFormat::kAnsi;
  uint64_t ArtSize = 0;  // the bytes that are the art (ArtBytes), which art_md5 digests
  // Read by the format's own reader (every art format but ansi, ascii and ripscrip): its cells
  // charged as the scan charges them, and what the format adds to the top rows kept.
  bool OwnCells = false;
  ScanState Tally;
  std::optional<Fault> FormatFault;  // the reader's FormatError
  std::optional<ArtPalette> Palette;
  ArtFont Font;
  std::vector<uint8_t> TopBanks;  // with a font of 512 glyphs, one per cell of Top
  // Where the art set true colours, one per cell of Top: its colours as a viewer shows them.
  std::vector<CellColors> TopColors;
};

// What a worker keeps from file to file: the scan's cache of token effects and the screen, which
// only their own bytes fill.
struct ArtTools {
  TokenCache Cache;
  Screen Drawing;
  uint32_t TopLines = 0;   // the drawing's lines kept in the facts, for pictures; 0 keeps none
  tintrel::Drawing Cells;  // a format's reader draws here
  std::vector<uint8_t> Gathered;  // a stream's bytes, for a format's reader
  std::vector<uint8_t> Sample;    // a stream's first bytes, for recognition
  PrintTools Print;
};

inline std::span<const uint8_t> FirstBytes(const ArtFacts& facts) {
  return {facts.Head.data(), facts.HeadSize};
}

// Whether a format's own reader draws the screen and charges the colour columns.
inline bool ReadsOwnCells(ArtFormat format) {
  return IsArt(format) && format != ArtFormat::kAnsi && format != ArtFormat::kAscii &&
         format != ArtFormat::kRipscrip;
}

// Whether a format's screen is drawn: art, but not RIPscrip's vector graphics.
inline bool HasScreen(ArtFormat format) {
  return IsArt(format) && format != ArtFormat::kRipscrip;
}

// Whether the record says the file is Character or BinaryText data, which the screen draws.
bool IsDrawnData(const SauceInfo& info);

// The width to draw a file at: that of its record, for Character and BinaryText data, where it
// is wider than 80 columns; else 80. A narrower width is checked against the drawing rather
// than believed: drawn at 80 columns, a drawing wider than its record says is seen.
uint32_t ScreenWidthFor(const SauceInfo& info);

// Bytes held whole: scanned, their record decoded from their last bytes and drawn at its width.
// The digests are left to the caller, who may take those of several files at once.
void HeldFacts(ArtFacts& facts, const std::string& name, std::span<const uint8_t> bytes,
               ArtTools& tools);

// Both digests of bytes held whole, on one stream.
void DigestHeld(ArtFacts& facts, std::span<const uint8_t> bytes);
void SetDigests(ArtFacts& facts, const Digest& whole, const Digest& art);

// The next chunk of a stream, valid until the following call; an empty one at the end. A fault it
// throws (a failed read, a damaged member) ends the stream as the scan's or the digest's fault.
using NextChunk = std::function<std::span<const uint8_t>()>;

// A stream of chunks: scanned, digested and drawn as they pass. `known` is the record when it
// could be read ahead, from a file's end: it sets the width. Without it the record is decoded
// from the stream's last bytes, which come too late for the screen: it draws at 80 columns.
void StreamFacts(ArtFacts& facts, const std::string& name, const NextChunk& next,
                 const std::optional<SauceInfo>& known, ArtTools& tools);

// The fault that kept the bytes from being read to their end, or none.
inline const std::optional<Fault>& ReadFault(const ArtFacts& facts) {
  return facts.Scanned.ScanFault ? facts.Scanned.ScanFault : facts.Scanned.DigestFault;
}

}  // namespace tintrel
