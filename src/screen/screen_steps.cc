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

// A colour 38 or 48 names: its VGA colour, and its RGB where it is a true colour (a 24-bit one,
// or one of the 256 past the first 16), else -1.
struct NamedColor {
  int Vga = -1;
  int32_t Rgb = -1;
};

int32_t PackRgb(int red, int green, int blue) {
  return red << 16 | green << 8 | blue;
}

// After 38 or 48: "5;n" or "2;r;g;b", the colour they name; no VGA colour when they name none.
NamedColor ExtendedColor(ParamReader& params) {
  if (params.At >= params.End) return {};
  const int32_t form = NextParam(params);
  if (form == 5 && params.At < params.End) {
    const int32_t number = NextParam(params);
    if (number > 255) return {};
    return {VgaColorOf256(number), number < 16 ? -1 : static_cast<int32_t>(RgbOf256(number))};
  }
  if (form != 2) return {};
  const int red = Channel(params), green = Channel(params), blue = Channel(params);
  return {NearestVgaColor(red, green, blue), PackRgb(red, green, blue)};
}

// The true colours a rendition leaves set: each colour value sets or clears its side's.
struct TrueSides {
  bool Extended = false;
  int32_t Fg = -1, Bg = -1;  // -1: none set by this rendition
  bool FgTouched = false, BgTouched = false;
};

PenChange RenditionChange(int32_t value, ParamReader& params, TrueSides& sides) {
  const PenChange change = [&]() -> PenChange {
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
        const NamedColor color = ExtendedColor(params);
        if (color.Vga < 0) return kNoChange;
        sides.Extended = true;
        const auto vga = static_cast<uint8_t>(color.Vga);
        (value == 38 ? sides.Fg : sides.Bg) = color.Rgb;
        (value == 38 ? sides.FgTouched : sides.BgTouched) = true;
        return value == 38 ? Foreground(vga, false) : Background(vga, false);
      }
      default: return kNoChange;
    }
  }();
  // Any other colour of a side clears the true colour a value before it set there.
  if (value != 38 && (change.Mask & kPenFg)) sides.Fg = -1;
  if (value != 48 && (change.Mask & kPenBg)) sides.Bg = -1;
  return change;
}

ScreenStep Rendition(ParamReader& params) {
  ScreenStep step;
  if (params.At == params.End) {
    Apply(step, {kPenBits, kFreshPen});
    return step;
  }
  TrueSides sides;
  while (params.At < params.End) {
    const int32_t value = NextParam(params);
    Apply(step, RenditionChange(value, params, sides));
  }
  if (sides.Extended) step.PenSet |= kPenExtended;
  const auto which =
      static_cast<uint8_t>((sides.Fg >= 0 ? kTrueFg : 0) | (sides.Bg >= 0 ? kTrueBg : 0));
  if (which != 0)
    SetTrueColors(step, {which, static_cast<uint32_t>(std::max(sides.Fg, 0)),
                         static_cast<uint32_t>(std::max(sides.Bg, 0))});
  return step;
}

// "0;r;g;b" a background, "1;r;g;b" a foreground, as the drawing programs write them.
ScreenStep TrueColor(ParamReader& params) {
  ScreenStep step;
  const int32_t which = NextParam(params);
  if (which != 0 && which != 1) return step;
  const int red = Channel(params), green = Channel(params), blue = Channel(params);
  const uint8_t color = NearestVgaColor(red, green, blue);
  Apply(step, which == 0 ? Background(color, false) : Foreground(color, false));
  step.PenSet |= kPenExtended;
  const auto rgb = static_cast<uint32_t>(PackRgb(red, green, blue));
  SetTrueColors(step, which == 0 ? TrueColorSet{kTrueBg, 0, rgb} : TrueColorSet{kTrueFg, rgb, 0});
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
  const auto rgb = static_cast<int>(RgbOf256(number));
  return NearestVgaColor(rgb >> 16, rgb >> 8 & 0xFF, rgb & 0xFF);
}

uint32_t RgbOf256(int number) {
  if (number >= 232) {
    const auto gray = static_cast<uint32_t>(8 + 10 * (number - 232));
    return gray << 16 | gray << 8 | gray;
  }
  constexpr std::array<uint32_t, 6> kLevels = {0, 95, 135, 175, 215, 255};
  const int cube = number - 16;
  return kLevels[cube / 36] << 16 | kLevels[cube / 6 % 6] << 8 | kLevels[cube % 6];
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
