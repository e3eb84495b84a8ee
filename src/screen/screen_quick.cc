// SPDX-License-Identifier: MIT
#include "screen/screen_quick.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scan/byte_classes.h"
#include "screen/screen_draw.h"
#include "screen/screen_processors.h"
#include "screen/utf8_glyphs.h"
#include "simd/bits.h"
#include "simd/processor.h"

namespace tintrel {
namespace screen_quick {

// A block of windows is classified whole before its steps are taken; its last sequence or pipe
// code may reach into the window after it.
constexpr std::size_t kMostWindows = 64;
// A row's frame reach while the row holds no marks of the current frame: no run is right of it.
constexpr uint32_t kNoReach = UINT32_MAX;

// The places of a block's bytes that end runs, in order, then the block's end and a place past
// every other; eight more are written past the last.
using RunEnds = std::array<uint16_t, kMostWindows * kWindow + 16>;

uint32_t InkOf(const uint8_t* glyphs, uint32_t n) {
  uint32_t ink = 0;
  for (uint32_t i = 0; i < n; ++i) ink += !IsBlank(glyphs[i]);
  return ink;
}

// The marks of a stored row that the current frame drew on, or none.
RowMarks* DrawnRow(Screen& screen, uint32_t row) {
  if (row >= screen.RowsReady || screen.Marks[row].Frame != screen.Frame) return nullptr;
  return &screen.Marks[row];
}

// The runs the block's loop does not write itself: on a row this frame has not drawn on yet or
// left of what it drew there, below the stored rows, past the last column, longer than a piece;
// DrawGlyphs takes the rest.
[[gnu::noinline]] void DrawRun(Screen& screen, const uint8_t* glyphs, std::size_t count) {
  while (count > 0) {
    const auto n = static_cast<uint32_t>(std::min<std::size_t>(count, kRunPiece));
    const uint32_t to = screen.Column + n;
    if (to > screen.Width) return DrawGlyphs(screen, glyphs, count);
    RowMarks* marks = DrawnRow(screen, screen.Row);
    if (marks == nullptr && screen.Row < screen.RowCap && screen.FrameOpen)
      marks = &EnterRow(screen, screen.Row);
    if (marks != nullptr) {
      // Drawing at or left of what this frame drew on the row starts the next frame.
      if (screen.Column < marks->FrameHi) {
        ++screen.Frames;
        *marks = {++screen.Frame, 0, marks->HeldHi};
      }
      Portably::Write(screen.Cells.data() + std::size_t{screen.Row} * screen.Width + screen.Column,
                      glyphs, n, screen.Attr);
      marks->FrameHi = to;
      marks->HeldHi = std::max(marks->HeldHi, to);
      screen.Column = to;
    } else if (screen.Row >= screen.RowCap && screen.FrameOpen && screen.Row < screen.BelowLines &&
               to <= screen.BelowWidth) {
      screen.BelowByAttr[screen.Attr] += n;
      screen.BelowInkedByAttr[screen.Attr] += InkOf(glyphs, n);
      screen.Column = to;
    } else {
      DrawGlyphs(screen, glyphs, n);
    }
    if (screen.Column == screen.Width) LineFeed(screen);
    glyphs += n;
    count -= n;
  }
}

// What the steps keep in registers: where they are in the block, the cursor's column and the
// pen, and the cursor's row as the cells of the row and its frame reach while the current frame
// drew on it (else no cells and kNoReach, so that no run is right of it). The row itself, and
// its HeldHi, are the screen's: while the steps stay on a row, its reach only grows, and HeldHi
// is settled when they leave it. The uncommon steps take this state and give it back whole, so
// that nothing of it lives across their calls.
struct BlockWalk {
  const uint8_t* Base;
  std::size_t At, Limit;
  const uint16_t* Next;  // the first place at or after At where a run ends, or one before it
  Cell* Cells;
  uint32_t Reach, Column;
  uint16_t Pen;
  uint8_t Attr;
  bool Stopped;  // at a token the byte loop must take
};

[[gnu::always_inline]] inline void ViewRow(const Screen& screen, BlockWalk& steps) {
  const uint32_t row = screen.Row;
  if (row >= screen.RowsReady || screen.Marks[row].Frame != screen.Frame) {
    steps.Cells = nullptr;
    steps.Reach = kNoReach;
    return;
  }
  steps.Cells = const_cast<Cell*>(screen.Cells.data()) + std::size_t{row} * screen.Width;
  steps.Reach = screen.Marks[row].FrameHi;
}

// The row's marks have the steps' reach back.
[[gnu::always_inline]] inline void LeaveRow(Screen& screen, const BlockWalk& steps) {
  if (steps.Cells == nullptr) return;
  RowMarks& marks = screen.Marks[screen.Row];
  marks.FrameHi = steps.Reach;
  marks.HeldHi = std::max(marks.HeldHi, steps.Reach);
}

// The screen has the steps' cursor and pen, and the row's marks, back.
void GiveBack(Screen& screen, const BlockWalk& steps) {
  LeaveRow(screen, steps);
  screen.Column = steps.Column;
  screen.Pen = steps.Pen;
  screen.Attr = steps.Attr;
}

void TakeBack(const Screen& screen, BlockWalk& steps) {
  steps.Column = screen.Column;
  steps.Pen = screen.Pen;
  steps.Attr = screen.Attr;
  ViewRow(screen, steps);
}

[[gnu::noinline]] BlockWalk DrawRunApart(Screen& screen, BlockWalk steps, std::size_t count) {
  GiveBack(screen, steps);
  DrawRun(screen, steps.Base + steps.At, count);
  TakeBack(screen, steps);
  return steps;
}

// Every token but a cached sequence that changes only the pen and moves forward, and CR: ESC
// without "[", a sequence the cache does not hold yet or that acts on the cursor or the screen,
// a line feed, a tab, a pipe code or "|", a high byte of UTF-8 art. Past its bytes, or stopped
// at it when the byte loop must take it.
[[gnu::noinline]] BlockWalk TakeTokenApart(Screen& screen, BlockWalk steps) {
  const uint8_t* token = steps.Base + steps.At;
  GiveBack(screen, steps);
  switch (token[0]) {
    case kEscapeByte: {
      // ESC without "[" is dropped, and the byte after it read as usual.
      if (token[1] != '[') {
        steps.At += 1;
        break;
      }
      const SequenceKey key = KeyAt(token + 2);
      if (key.Params == kKeyBytes) {
        steps.Stopped = true;
        break;
      }
      SequenceEntry& entry = screen.Cache->Entries[EntryOf(key.Bytes)];
      if (entry.KeyLow != key.Bytes.Low || entry.KeyHigh != key.Bytes.High)
        entry = {key.Bytes.Low, key.Bytes.High,
                 SequenceStep(token + 2, key.Params, token[2 + key.Params])};
      TakeColorStep(screen, entry.Step);
      steps.At += 3 + key.Params;
      // From the first true colour on, the byte loop draws: it keeps them beside the cells.
      steps.Stopped = screen.TrueColor;
      break;
    }
    case '\n':
      LineFeed(screen);
      steps.At += 1;
      break;
    case '\t':
      screen.Column = TabStop(screen.Column, screen.Width);
      steps.At += 1;
      break;
    case kPipeByte:
      if (const int code = PipeCodeValue(token[1], token[2]); code >= 0) {
        TakeColorStep(screen, PipeStep(code));
        steps.At += 3;
      } else {
        DrawRun(screen, token, 1);
        steps.At += 1;
      }
      break;
    default: {
      // A high byte: of UTF-8 art, or one the byte loop takes while the character set is not
      // known.
      if (screen.Characters != Charset::kUtf8) {
        steps.Stopped = true;
        break;
      }
      const Utf8Read read = ReadUtf8(token, 4);
      if (read.Outcome != Utf8Read::kCharacter) {
        DrawRun(screen, token, 1);
        steps.At += 1;
        break;
      }
      if (const int glyph = GlyphOf(read.Code); glyph != kNoGlyph) {
        const std::array<uint8_t, kRunPiece> one{static_cast<uint8_t>(glyph)};
        DrawRun(screen, one.data(), 1);
      }
      steps.At += read.Length;
      break;
    }
  }
  TakeBack(screen, steps);
  return steps;
}

// Lists where runs end in a block of `windows` windows: eight places at a time, whether a window
// has so many or not, so that the loop's end is seldom mispredicted; the next window's places
// overwrite those past a window's last.
template <typename Processor, bool kHighGlyphs>
[[gnu::always_inline]] inline void ListRunEnds(const uint8_t* base, std::size_t windows,
                                               RunEnds& ends) {
  uint16_t* next = ends.data();
  for (std::size_t w = 0; w < windows; ++w) {
    uint64_t bits = Processor::template Classify<kHighGlyphs>(base + w * kWindow);
    uint16_t* const last = next + CountBits(bits);
    do {
      for (int i = 0; i < 8; ++i) {
        next[i] = static_cast<uint16_t>(w * kWindow + Zeros(bits | uint64_t{1} << 63));
        bits &= bits - 1;
      }
      next += 8;
    } while (next < last);
    next = last;
  }
  next[0] = static_cast<uint16_t>(windows * kWindow);
  next[1] = UINT16_MAX;
}

// Down to column 1 of the next row, at the last column's wrap or a line feed.
[[gnu::always_inline]] inline void NextRow(Screen& screen, BlockWalk& steps) {
  LeaveRow(screen, steps);
  screen.Row = RowsDown(screen.Row, 1);
  steps.Column = 0;
  ViewRow(screen, steps);
}

// The row's frame reach after a run of n glyphs up to `column`: an empty run leaves it as it was.
// Without a branch, which a run's length would mispredict.
inline uint32_t ReachAfter(uint32_t reach, uint32_t column, uint32_t n) {
#if TINTREL_SSE2
  asm("test %[n], %[n]\n\tcmovnz %[column], %[reach]"
      : [reach] "+r"(reach)
      : [n] "r"(n), [column] "r"(column)
      : "cc");
  return reach;
#else
  return n != 0 ? column : reach;
#endif
}

// Runs that fit on the row right of what the current frame drew there, cached sequences that
// change the pen and move forward, CR and LF, until the block's end or anything else: a run is
// then left from the first glyph not drawn (Next at its end), a token from its first byte.
// Calls nothing, so that the walk stays in registers.
template <typename Processor>
[[gnu::always_inline]] inline Exit TakeCommonSteps(Screen& screen, BlockWalk& walk,
                                                   const SequenceEntry* entries) {
  BlockWalk steps = walk;
  const uint32_t width = screen.Width;
  Exit exit = Exit::kEnd;
  while (steps.At < steps.Limit) {
    // Only a token that ends with a byte that ends runs passes over one of them.
    while (*steps.Next < steps.At) [[unlikely]]++ steps.Next;
    const std::size_t end = *steps.Next;
    auto n = static_cast<uint32_t>(end - steps.At);
    for (;;) {
      // An empty run passes through unseen, without a branch.
      if (steps.Column >= steps.Reach && n <= kRunPiece && steps.Column + n <= width) [[likely]] {
        Processor::Write(steps.Cells + steps.Column, steps.Base + steps.At, n, steps.Attr);
        steps.Column += n;
        steps.Reach = ReachAfter(steps.Reach, steps.Column, n);
        if (steps.Column == width) [[unlikely]]
          NextRow(screen, steps);
        break;
      }
      if (n == 0) break;
      // A stored row this frame has not drawn on yet starts its reach; a run at or left of the
      // reach starts the next frame. New rows, and the first glyph of a frame, are left apart.
      if (steps.Column < steps.Reach && screen.FrameOpen && screen.Row < screen.RowsReady) {
        if (steps.Reach != kNoReach) {
          LeaveRow(screen, steps);
          ++screen.Frames;
          ++screen.Frame;
        }
        RowMarks& marks = screen.Marks[screen.Row];
        marks.Frame = screen.Frame;
        marks.FrameHi = 0;
        steps.Cells = screen.Cells.data() + std::size_t{screen.Row} * width;
        steps.Reach = 0;
        continue;
      }
      // Below the stored rows, within what shows there already, a run is only counted.
      if (n <= kRunPiece && screen.Row >= screen.RowCap && screen.FrameOpen &&
          screen.Row < screen.BelowLines && steps.Column + n <= screen.BelowWidth &&
          steps.Column + n < width) {
        screen.BelowByAttr[steps.Attr] += n;
        screen.BelowInkedByAttr[steps.Attr] += Processor::Ink(steps.Base + steps.At, n);
        steps.Column += n;
        break;
      }
      if (n > kRunPiece && steps.Column >= steps.Reach && steps.Column + kRunPiece < width) {
        Processor::Write(steps.Cells + steps.Column, steps.Base + steps.At, kRunPiece, steps.Attr);
        steps.Column += kRunPiece;
        steps.Reach = steps.Column;
        steps.At += kRunPiece;
        n -= kRunPiece;
        continue;
      }
      exit = Exit::kRun;
      break;
    }
    if (exit == Exit::kRun) break;
    steps.At = end;
    if (end == steps.Limit) break;
    const uint8_t* token = steps.Base + end;
    if (token[0] == kEscapeByte && token[1] == '[') [[likely]] {
      const SequenceKey key = Processor::Key(token + 2);
      const SequenceEntry& entry = entries[EntryOf(key.Bytes)];
      const ScreenStep& step = entry.Step;
      if (entry.KeyLow == key.Bytes.Low && entry.KeyHigh == key.Bytes.High &&
          step.Kind == StepKind::kNone) [[likely]] {
        steps.Pen = static_cast<uint16_t>((steps.Pen & step.PenKeep) | step.PenSet);
        steps.Attr = AttrOfPen(steps.Pen);
        steps.Column = ColumnsForward(steps.Column, step.Forward, width);
        steps.At = end + 3 + key.Params;
        ++steps.Next;
        continue;
      }
    } else if (token[0] == '\r') {
      steps.Column = 0;
      steps.At = end + 1;
      ++steps.Next;
      continue;
    } else if (token[0] == '\n') {
      NextRow(screen, steps);
      steps.At = end + 1;
      ++steps.Next;
      continue;
    }
    exit = Exit::kToken;
    break;
  }
  walk = steps;
  return exit;
}

[[gnu::noinline, TINTREL_SCREEN_STEPS]] Exit Portably::CommonSteps(Screen& screen, BlockWalk& walk,
                                                                   const SequenceEntry* entries) {
  return TakeCommonSteps<Portably>(screen, walk, entries);
}

#if TINTREL_SSE2
[[gnu::noinline, TINTREL_TARGET_AVX2, TINTREL_SCREEN_STEPS]] Exit WithAvx2::CommonSteps(
    Screen& screen, BlockWalk& walk, const SequenceEntry* entries) {
  return TakeCommonSteps<WithAvx2>(screen, walk, entries);
}

[[gnu::noinline, TINTREL_TARGET_AVX512, TINTREL_SCREEN_STEPS]] Exit WithAvx512::CommonSteps(
    Screen& screen, BlockWalk& walk, const SequenceEntry* entries) {
  return TakeCommonSteps<WithAvx512>(screen, walk, entries);
}
#endif

// The steps over a block of `limit` bytes from its first byte, whose run ends are listed.
// Returns where they ended, which may be inside the window after the block; `stopped` tells
// that the byte loop must take the token there.
template <typename Processor, bool kHighGlyphs>
[[gnu::always_inline]] inline std::size_t TakeBlock(Screen& screen, const uint8_t* base,
                                                    std::size_t limit, const RunEnds& ends,
                                                    bool& stopped) {
  BlockWalk steps{base,          0,          limit,       ends.data(), nullptr, 0,
                  screen.Column, screen.Pen, screen.Attr, false};
  ViewRow(screen, steps);
  const SequenceEntry* const entries = screen.Cache->Entries.get();
  for (;;) {
    const Exit exit = Processor::CommonSteps(screen, steps, entries);
    if (exit == Exit::kEnd) break;
    if (exit == Exit::kRun) {
      const std::size_t end = *steps.Next;
      steps = DrawRunApart(screen, steps, end - steps.At);
      steps.At = end;
      continue;
    }
    steps = TakeTokenApart(screen, steps);
    if (steps.Stopped) break;
  }
  GiveBack(screen, steps);
  stopped = steps.Stopped;
  return steps.At;
}

template <typename Processor, bool kHighGlyphs>
[[gnu::always_inline]] inline std::size_t TakeBlocks(Screen& screen, const uint8_t* bytes,
                                                     std::size_t pos, std::size_t count) {
  RunEnds ends;
  // The window after a block holds its last token's bytes: only a block that has one is taken.
  while (count - pos >= 2 * kWindow) {
    const std::size_t windows = std::min(kMostWindows, (count - pos) / kWindow - 1);
    const uint8_t* base = bytes + pos;
    ListRunEnds<Processor, kHighGlyphs>(base, windows, ends);
    bool stopped = false;
    pos += TakeBlock<Processor, kHighGlyphs>(screen, base, windows * kWindow, ends, stopped);
    if (stopped) break;
  }
  return pos;
}

template <bool kHighGlyphs>
[[TINTREL_SCREEN_STEPS]] std::size_t StepsPortably(Screen& screen, const uint8_t* bytes,
                                                   std::size_t pos, std::size_t count) {
  return TakeBlocks<Portably, kHighGlyphs>(screen, bytes, pos, count);
}

#if TINTREL_SSE2
template <bool kHighGlyphs>
[[TINTREL_TARGET_AVX2, TINTREL_SCREEN_STEPS]] std::size_t StepsWithAvx2(Screen& screen,
                                                                        const uint8_t* bytes,
                                                                        std::size_t pos,
                                                                        std::size_t count) {
  return TakeBlocks<WithAvx2, kHighGlyphs>(screen, bytes, pos, count);
}

template <bool kHighGlyphs>
[[TINTREL_TARGET_AVX512, TINTREL_SCREEN_STEPS]] std::size_t StepsWithAvx512(Screen& screen,
                                                                            const uint8_t* bytes,
                                                                            std::size_t pos,
                                                                            std::size_t count) {
  return TakeBlocks<WithAvx512, kHighGlyphs>(screen, bytes, pos, count);
}
#endif

// The steps of code page 437 art, where high bytes are glyphs, and of all other art.
template <bool kHighGlyphs>
std::size_t Steps(Screen& screen, const uint8_t* bytes, std::size_t pos, std::size_t count) {
#if TINTREL_SSE2
  const ProcessorFeatures& processor = ThisProcessor();
  if (processor.Avx512 && screen.Quick == QuickScreen::kOn)
    return StepsWithAvx512<kHighGlyphs>(screen, bytes, pos, count);
  if (processor.Avx2 && screen.Quick != QuickScreen::kWithoutAvx)
    return StepsWithAvx2<kHighGlyphs>(screen, bytes, pos, count);
#endif
  return StepsPortably<kHighGlyphs>(screen, bytes, pos, count);
}

}  // namespace screen_quick

std::size_t TakeQuickSteps(Screen& screen, const uint8_t* bytes, std::size_t pos,
                           std::size_t count) {
  using screen_quick::kWindow, screen_quick::Steps;
  if (count - pos < 2 * kWindow) return pos;
  if (!screen.Cache) screen.Cache = std::make_unique<SequenceCache>();
  if (screen.Characters == Charset::kCp437) return Steps<true>(screen, bytes, pos, count);
  return Steps<false>(screen, bytes, pos, count);
}

}  // namespace tintrel
