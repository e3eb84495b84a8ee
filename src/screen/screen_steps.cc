// SPDX-License-Identifier: MIT
#include "screen/screen_steps.h"

#include <algorithm>
#include <limits>

#include "scan/escape_interpreter.h"
#include "screen/vga_palette.h"

namespace tintrel {

namespace {

// ANSI colour order (black, red, green, yellow, blue, magenta, cyan, white) to VGA order.
constexpr std::array<uint8_t, 8> kAnsiToVga = {0, 4, 2, 6, 1, 5, 3, 7};

// What one value sets: the pen's bits under Mask become Bits.
struct PenChange {
  uint16_t Mask = 0, Bits = 0;
};

constexpr PenChange kNoChange{};

PenChange Foreground(uint8_t color, bool basic) {
  return {kPenFg | kPenFgBasic, static_cast<uint16_t>(color | (basic ? kPenFgBasic : 0))};
}

PenChange Background(uint8_t color, bool basic) {
  return {kPenBg | kPenBgBasic, static_cast<uint16_t>(color << 8 | (basic ? kPenBgBasic : 0))};
}

constexpr uint8_t Bright(uint8_t color) {
  return static_cast<uint8_t>(color | 8);
}

PenChange Flag(uint16_t flag, bool on) {
  return {flag, on ? flag : uint16_t{0}};
}

void Apply(ScreenStep& step, PenChange change) {
  step.PenKeep = static_cast<uint16_t>(step.PenKeep & ~change.Mask);
  step.PenSet = static_cast<uint16_t>((step.PenSet & ~change.Mask) | change.Bits);
}

int32_t Channel(ParamReader& params) {
  return std::min(NextParam(params), 255);
}

// After 38 or 48: "5;n" or "2;r;g;b", the colour they name, or -1 when they name none.
int ExtendedColor(ParamReader& params) {
  if (params.At >= params.End) return -1;
  const int32_t form = NextParam(params);
  if (form == 5 && params.At < params.End) {
    const int32_t number = NextParam(params);
    return number <= 255 ? VgaColorOf256(number) : -1;
  }
  if (form != 2) return -1;
  const int red = Channel(params), green = Channel(params);
  return NearestVgaColor(red, green, Channel(params));
}

PenChange RenditionChange(int32_t value, ParamReader& params, bool& extended) {
  if (value >= 30 && value <= 37) return Foreground(kAnsiToVga[value - 30], true);
  if (value >= 40 && value <= 47) return Background(kAnsiToVga[value - 40], true);
  if (value >= 90 && value <= 97) return Foreground(Bright(kAnsiToVga[value - 90]), false);
  if (value >= 100 && value <= 107) return Background(Bright(kAnsiToVga[value - 100]), false);
  switch (value) {
    case 0: return {kPenBits, kFreshPen};
    case 1: return Flag(kPenBold, true);
    case 22: return Flag(kPenBold, false);
    case 5: return Flag(kPenBlink, true);
    case 25: return Flag(kPenBlink, false);
    case 7: return Flag(kPenReverse, true);
    case 27: return Flag(kPenReverse, false);
    case 8: return Flag(kPenConceal, true);
    case 28: return Flag(kPenConceal, false);
    case 39: return Foreground(7, true);
    case 49: return Background(0, true);
    case 38:
    case 48: {
      const int color = ExtendedColor(params);
      if (color < 0) return kNoChange;
      extended = true;
      const auto vga = static_cast<uint8_t>(color);
      return value == 38 ? Foreground(vga, false) : Background(vga, false);
    }
    default: return kNoChange;
  }
}

ScreenStep Rendition(ParamReader& params) {
  ScreenStep step;
  if (params.At == params.End) {
    Apply(step, {kPenBits, kFreshPen});
    return step;
  }
  bool extended = false;
  while (params.At < params.End) {
    const int32_t value = NextParam(params);
    Apply(step, RenditionChange(value, params, extended));
  }
  if (extended) step.PenSet |= kPenExtended;
  return step;
}

// "0;r;g;b" a background, "1;r;g;b" a foreground, as the drawing programs write them.
ScreenStep TrueColor(ParamReader& params) {
  ScreenStep step;
  const int32_t which = NextParam(params);
  if (which != 0 && which != 1) return step;
  const int red = Channel(params), green = Channel(params);
  const uint8_t color = NearestVgaColor(red, green, Channel(params));
  Apply(step, which == 0 ? Background(color, false) : Foreground(color, false));
  step.PenSet |= kPenExtended;
  return step;
}

// A count of rows or columns: 0 or none moves by 1.
uint32_t Count(ParamReader& params) {
  const int32_t n = NextParam(params);
  return n == 0 ? 1 : static_cast<uint32_t>(n);
}

ScreenStep Action(StepKind kind, uint32_t row = 0) {
  ScreenStep step;
  step.Kind = kind;
  step.Row = row;
  return step;
}

}  // namespace

uint8_t NearestVgaColor(int red, int green, int blue) {
  uint8_t nearest = 0;
  int best = std::numeric_limits<int>::max();
  for (uint8_t color = 0; color < kVgaPalette.size(); ++color) {
    const Rgb& vga = kVgaPalette[color];
    const int dr = red - vga.R, dg = green - vga.G, db = blue - vga.B;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best) {
      best = distance;
      nearest = color;
    }
  }
  return nearest;
}

uint8_t VgaColorOf256(int number) {
  if (number < 16) return static_cast<uint8_t>(kAnsiToVga[number & 7] | (number & 8));
  if (number >= 232) {
    const int gray = 8 + 10 * (number - 232);
    return NearestVgaColor(gray, gray, gray);
  }
  constexpr std::array<int, 6> kLevels = {0, 95, 135, 175, 215, 255};
  const int cube = number - 16;
  return NearestVgaColor(kLevels[cube / 36], kLevels[cube / 6 % 6], kLevels[cube % 6]);
}

ScreenStep SequenceStep(const uint8_t* params, std::size_t length, uint8_t final) {
  ParamReader reader{params, params + length};
  switch (final) {
    case 'm': return Rendition(reader);
    case 't': return TrueColor(reader);
    case 'A': return Action(StepKind::kUp, Count(reader));
    case 'B': return Action(StepKind::kDown, Count(reader));
    case 'C': {
      ScreenStep step;
      step.Forward = Count(reader);
      return step;
    }
    case 'D': return Action(StepKind::kBack, Count(reader));
    case 'H':
    case 'f': {
      ScreenStep step = Action(StepKind::kPosition, static_cast<uint32_t>(NextParam(reader)));
      step.Column = static_cast<uint16_t>(std::min<int32_t>(NextParam(reader), 0xFFFF));
      return step;
    }
    case 's': return Action(StepKind::kSaveCursor);
    case 'u': return Action(StepKind::kRestoreCursor);
    case 'K': return NextParam(reader) == 0 ? Action(StepKind::kEraseLine) : ScreenStep{};
    case 'J': return NextParam(reader) == 2 ? Action(StepKind::kClear) : ScreenStep{};
    default: return {};
  }
}

ScreenStep PipeStep(int code) {
  ScreenStep step;
  if (code < 16) {
    Apply(step, Foreground(static_cast<uint8_t>(code & 7), true));
    Apply(step, Flag(kPenBold, code >= 8));
  } else {
    Apply(step, Background(static_cast<uint8_t>(code - 16), true));
    Apply(step, Flag(kPenBlink, false));
  }
  return step;
}

}  // namespace tintrel
