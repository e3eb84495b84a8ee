// SPDX-License-Identifier: MIT
#include "catalog/screen_columns.h"

#include <cstdlib>

#include "meta/sauce_types.h"

namespace tintrel {

namespace {

constexpr std::size_t kScreenWidth = ColumnIndex("screen_width");
constexpr std::size_t kSauceWarningsColumn = ColumnIndex("sauce_warnings");

bool IsDrawnData(const SauceInfo& info) {
  return info.Present && (info.DataType == kCharacterData || info.DataType == kBinaryTextData);
}

std::string_view CharsetName(Charset charset) {
  switch (charset) {
    case Charset::kUtf8: return "utf-8";
    case Charset::kCp437: return "cp437";
    default: return "ascii";
  }
}

}  // namespace

uint32_t ScreenWidthFor(const SauceInfo& info) {
  if (!IsDrawnData(info) || !info.Width || *info.Width <= kDefaultScreenWidth)
    return kDefaultScreenWidth;
  return *info.Width;
}

ScreenSummary DrawHeld(Screen& screen, const SauceInfo& info, std::span<const uint8_t> bytes) {
  ResetScreen(screen, ScreenWidthFor(info));
  if (!FeedScreen(screen, bytes.data(), bytes.size())) FinishScreen(screen);
  return SummarizeScreen(screen);
}

void FillScreen(Row& row, const ScreenSummary& summary, const SauceInfo& info) {
  std::size_t at = kScreenWidth;
  row[at++] = NumberField(summary.Width);
  row[at++] = NumberField(static_cast<int64_t>(summary.Lines));
  row[at++] = TextField(std::string(CharsetName(summary.Characters)));
  row[at++] = FlagField(summary.Ice);
  row[at++] = FlagField(summary.ExtendedColors);
  row[at++] = NumberField(static_cast<int64_t>(summary.Frames));
  row[at++] = NumberListField(summary.Foreground);
  row[at++] = NumberListField(summary.Background);
  if (!IsDrawnData(info)) return;
  const bool checks[] = {
      info.Width && *info.Width != 0 && summary.Width > *info.Width,  // width-mismatch
      info.Lines && *info.Lines != 0 &&
          std::llabs(static_cast<long long>(summary.Lines) - *info.Lines) > 1,  // lines-mismatch
      summary.Ice && info.IceColors && !*info.IceColors,                        // ice-unflagged
  };
  static_assert(std::size(checks) == kScreenWarnings.size());
  std::vector<std::string>& warnings = row[kSauceWarningsColumn].Items;
  for (std::size_t i = 0; i < kScreenWarnings.size(); ++i)
    if (checks[i]) warnings.emplace_back(kScreenWarnings[i]);
}

}  // namespace tintrel
