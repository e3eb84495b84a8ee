// SPDX-License-Identifier: MIT
#include "screen/screen.h"

#include <algorithm>
#include <cstring>

#include "scan/byte_classes.h"
#include "screen/screen_draw.h"
#include "screen/screen_quick.h"
#include "screen/utf8_glyphs.h"

namespace tintrel {

namespace {

void ProcessByte(Screen& screen, uint8_t b);
void TakeUtf8(Screen& screen);

void ProcessNormal(Screen& screen, uint8_t b) {
  switch (b) {
    case kEscapeByte: screen.Parser = ScreenParser::kEscape; return;
    case kPipeByte:
      screen.Parser = ScreenParser::kPipe;
      screen.PendingCount = 0;
      return;
    case '\n': return LineFeed(screen);
    case '\r': screen.Column = 0; return;
    case '\t': screen.Column = TabStop(screen.Column, screen.Width); return;
    default: break;
  }
  if (b < 0x80 || screen.Characters != Charset::kUtf8) return DrawGlyph(screen, b);
  screen.Parser = ScreenParser::kUtf8;
  screen.Pending[0] = b;
  screen.PendingCount = 1;
  TakeUtf8(screen);
}

// The bytes held after the first: read again, in order, as bytes of their own.
void ReadAgain(Screen& screen, const std::array<uint8_t, 4>& held, uint8_t from, uint8_t to) {
  for (uint8_t i = from; i < to; ++i) ProcessByte(screen, held[i]);
}

// A character whole, or the first byte drawn as its code-page-437 glyph and the rest read again.
void TakeUtf8(Screen& screen) {
  const std::array<uint8_t, 4> held = screen.Pending;
  const Utf8Read read = ReadUtf8(held.data(), screen.PendingCount);
  if (read.Outcome == Utf8Read::kNeedMore) return;
  screen.Parser = ScreenParser::kNormal;
  const uint8_t count = screen.PendingCount;
  if (read.Outcome == Utf8Read::kCharacter) {
    if (const int glyph = GlyphOf(read.Code); glyph != kNoGlyph)
      DrawGlyph(screen, static_cast<uint8_t>(glyph));
    return;
  }
  DrawGlyph(screen, held[0]);
  ReadAgain(screen, held, 1, count);
}

// "|" and the two bytes after it: a pipe code, or a glyph "|" and the two read again.
void TakePipe(Screen& screen) {
  const std::array<uint8_t, 4> held = screen.Pending;
  screen.Parser = ScreenParser::kNormal;
  if (const int code = PipeCodeValue(held[0], held[1]); code >= 0)
    return TakeColorStep(screen, PipeStep(code));
  DrawGlyph(screen, kPipeByte);
  ReadAgain(screen, held, 0, 2);
}

void ProcessByte(Screen& screen, uint8_t b) {
  switch (screen.Parser) {
    case ScreenParser::kNormal: return ProcessNormal(screen, b);
    case ScreenParser::kEscape:
      screen.Parser = ScreenParser::kNormal;
      if (b != '[') return ProcessNormal(screen, b);
      screen.Parser = ScreenParser::kSequence;
      screen.Params.Length = 0;
      return;
    case ScreenParser::kSequence:
      if (IsParamChar(b)) {
        // Characters beyond the 255th are dropped; the sequence still ends at its final byte.
        if (screen.Params.Length < screen.Params.Chars.size())
          screen.Params.Chars[screen.Params.Length++] = b;
        return;
      }
      screen.Parser = ScreenParser::kNormal;
      return TakeColorStep(screen,
                           SequenceStep(screen.Params.Chars.data(), screen.Params.Length, b));
    case ScreenParser::kPipe:
      screen.Pending[screen.PendingCount++] = b;
      if (screen.PendingCount == 2) TakePipe(screen);
      return;
    case ScreenParser::kUtf8: screen.Pending[screen.PendingCount++] = b; return TakeUtf8(screen);
  }
}

// Bytes of a known character set, or of no high byte while it is not known.
void Draw(Screen& screen, const uint8_t* bytes, std::size_t size) {
  std::size_t pos = 0;
  while (pos < size) {
    // The quick steps write cells alone: art with true colours is drawn by the byte loop.
    if (screen.Quick != QuickScreen::kOff && screen.Parser == ScreenParser::kNormal &&
        !screen.TrueColor)
      pos = TakeQuickSteps(screen, bytes, pos, size);
    if (pos == size) return;
    ProcessByte(screen, bytes[pos++]);
  }
}

// The bytes held from the first high byte on decide the character set, and are drawn.
void Decide(Screen& screen, bool more_follow) {
  screen.Characters = IsUtf8Text(screen.Sniffed.data(), screen.Sniffed.size(), more_follow)
                          ? Charset::kUtf8
                          : Charset::kCp437;
  screen.Sniffing = false;
  Draw(screen, screen.Sniffed.data(), screen.Sniffed.size());
  screen.Sniffed.clear();
}

void DrawArt(Screen& screen, const uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    if (screen.Sniffing) {
      const std::size_t take = std::min(size, kSniffSize - screen.Sniffed.size());
      screen.Sniffed.insert(screen.Sniffed.end(), bytes, bytes + take);
      bytes += take;
      size -= take;
      if (screen.Sniffed.size() == kSniffSize) Decide(screen, true);
      continue;
    }
    if (screen.Characters != Charset::kAscii) return Draw(screen, bytes, size);
    const auto* high = std::find_if(bytes, bytes + size, [](uint8_t b) { return b >= 0x80; });
    const auto ascii = static_cast<std::size_t>(high - bytes);
    Draw(screen, bytes, ascii);
    bytes += ascii;
    size -= ascii;
    screen.Sniffing = size > 0;
  }
}

}  // namespace

Screen::Screen() = default;
Screen::~Screen() = default;
Screen::Screen(Screen&&) noexcept = default;
Screen& Screen::operator=(Screen&&) noexcept = default;

void ResetScreen(Screen& screen, uint32_t width) {
  Screen fresh;
  // The memory stays: a worker draws file after file on one screen.
  fresh.Cells = std::move(screen.Cells);
  fresh.Marks = std::move(screen.Marks);
  fresh.Sniffed = std::move(screen.Sniffed);
  fresh.TrueColors = std::move(screen.TrueColors);
  fresh.Cells.clear();
  fresh.Marks.clear();
  fresh.TrueColors.clear();
  fresh.Sniffed.clear();
  fresh.Cache = std::move(screen.Cache);
  fresh.Quick = screen.Quick;
  fresh.Width = std::clamp<uint32_t>(width, 1, kMaxScreenWidth);
  fresh.RowCap = static_cast<uint32_t>(std::max<std::size_t>(kStoredCells / fresh.Width, 1));
  screen = std::move(fresh);
}

bool FeedScreen(Screen& screen, const uint8_t* bytes, std::size_t size) {
  // A slice at a time, so that its bytes are still near when they are drawn after the search
  // for a byte 26.
  constexpr std::size_t kSlice = 16 * 1024;
  for (std::size_t done = 0; done < size && !screen.Ended; done += kSlice) {
    const std::size_t slice = std::min(kSlice, size - done);
    const auto* end_mark = static_cast<const uint8_t*>(std::memchr(bytes + done, kEndMark, slice));
    DrawArt(screen, bytes + done,
            end_mark ? static_cast<std::size_t>(end_mark - bytes - done) : slice);
    if (end_mark != nullptr) FinishScreen(screen);
  }
  return screen.Ended;
}

void FinishScreen(Screen& screen) {
  if (screen.Ended) return;
  if (screen.Sniffing) Decide(screen, false);
  // What waited for more bytes gets none: a "|" or a character's first byte is a glyph, and the
  // bytes after it are read again; a sequence cut short does nothing.
  while (screen.Parser == ScreenParser::kPipe || screen.Parser == ScreenParser::kUtf8) {
    const std::array<uint8_t, 4> held = screen.Pending;
    const uint8_t count = screen.PendingCount;
    const bool pipe = screen.Parser == ScreenParser::kPipe;
    screen.Parser = ScreenParser::kNormal;
    DrawGlyph(screen, pipe ? kPipeByte : held[0]);
    ReadAgain(screen, held, pipe ? 0 : 1, count);
  }
  screen.Parser = ScreenParser::kNormal;
  screen.Ended = true;
}

ScreenSummary SummarizeScreen(const Screen& screen) {
  ScreenSummary summary;
  summary.Characters = screen.Characters;
  summary.ExtendedColors = (screen.Pen & kPenExtended) != 0;
  summary.Frames = screen.Frames;
  auto visible = [](Cell cell) {
    return BackgroundOfCell(cell.Attr) != 0 ||
           (!IsBlank(cell.Glyph) && ForegroundOfCell(cell.Attr) != 0);
  };
  // The lowest stored row that shows anything, and the rightmost column that does: each row is
  // looked at only right of the widest found so far.
  uint64_t lines = screen.BelowLines;
  for (uint32_t row = screen.RowsReady; row > lines; --row) {
    const std::span<const Cell> cells = ScreenRow(screen, row - 1);
    if (std::any_of(cells.begin(), cells.begin() + screen.Marks[row - 1].HeldHi, visible)) {
      lines = row;
      break;
    }
  }
  uint32_t width = screen.BelowWidth;
  for (uint32_t row = 0; row < screen.RowsReady; ++row) {
    const std::span<const Cell> cells = ScreenRow(screen, row);
    for (uint32_t column = screen.Marks[row].HeldHi; column > width; --column) {
      if (visible(cells[column - 1])) width = column;
    }
  }
  summary.Width = width;
  summary.Lines = lines;
  // The stored cells by attribute, all and those with ink; a cell nothing reached counts as
  // attribute 0, which the counts pass over.
  static constexpr std::array<uint8_t, 256> kInk = [] {
    std::array<uint8_t, 256> ink{};
    for (int glyph = 0; glyph < 256; ++glyph) ink[glyph] = !IsBlank(static_cast<uint8_t>(glyph));
    return ink;
  }();
  std::array<uint32_t, 256> stored{}, stored_inked{};
  for (uint32_t row = 0; row < screen.RowsReady; ++row) {
    for (Cell cell : ScreenRow(screen, row).first(screen.Marks[row].HeldHi)) {
      ++stored[cell.Attr];
      stored_inked[cell.Attr] += kInk[cell.Glyph];
    }
  }
  std::array<int64_t, 256> held = screen.BelowByAttr, inked = screen.BelowInkedByAttr;
  for (std::size_t attr = 0; attr < 256; ++attr) {
    held[attr] += stored[attr];
    inked[attr] += stored_inked[attr];
  }
  int64_t colored = 0;
  for (std::size_t attr = 0; attr < 256; ++attr) {
    const auto fg = ForegroundOfCell(static_cast<uint8_t>(attr));
    const auto bg = BackgroundOfCell(static_cast<uint8_t>(attr));
    if (bg != 0) {
      summary.Background[bg] += held[attr];
      colored += held[attr];
    }
    if (fg != bg) summary.Foreground[fg] += inked[attr];
  }
  // Every cell of the drawing's rectangle that shows no other background shows black.
  summary.Background[0] = std::max<int64_t>(0, static_cast<int64_t>(width * lines) - colored);
  summary.Ice = std::any_of(summary.Background.begin() + 8, summary.Background.end(),
                            [](int64_t cells) { return cells > 0; });
  return summary;
}

void DrawMemory(Screen& screen, const uint8_t* bytes, std::size_t size, std::size_t chunk_size) {
  for (std::size_t done = 0; done < size; done += chunk_size) {
    if (FeedScreen(screen, bytes + done, std::min(chunk_size, size - done))) return;
  }
  FinishScreen(screen);
}

}  // namespace tintrel
