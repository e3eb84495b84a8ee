// SPDX-License-Identifier: MIT
#include "catalog/screen_columns.h"

#include <cstdlib>

#include "analysis/art_facts.h"
#include "meta/sauce_fonts.h"

namespace tintrel {

namespace {

std::string_view CharsetName(Charset charset) {
  switch (charset) {
    case Charset::kUtf8: return "utf-8";
    case Charset::kCp437: return "cp437";
    default: return "ascii";
  }
}

}  // namespace

void FillScreen(Row& row, const ScreenSummary& summary, const SauceInfo& info, bool own_font) {
  row[Col("screen_width")] = NumberField(summary.Width);
  row[Col("screen_lines")] = NumberField(static_cast<int64_t>(summary.Lines));
  row[Col("charset")] = TextField(std::string(CharsetName(summary.Characters)));
  row[Col("ice")] = FlagField(summary.Ice);
  row[Col("extended_colors")] = FlagField(summary.ExtendedColors);
  row[Col("frames")] = NumberField(static_cast<int64_t>(summary.Frames));
  row[Col("fg16")] = NumberListField(summary.Foreground);
  row[Col("bg16")] = NumberListField(summary.Background);
  if (!IsDrawnData(info)) return;
  const bool checks[] = {
      info.Width && *info.Width != 0 && summary.Width > *info.Width,  // width-mismatch
      info.Lines && *info.Lines != 0 &&
          std::llabs(static_cast<long long>(summary.Lines) - *info.Lines) > 1,  // lines-mismatch
      summary.Ice && info.IceColors && !*info.IceColors,                        // ice-unflagged
      !own_font && ChooseFont(info.Font).Substituted,                           // font-substituted
  };
  static_assert(std::size(checks) == kScreenWarnings.size());
  std::vector<std::string>& warnings = row[Col("sauce_warnings")].Items;
  for (std::size_t i = 0; i < kScreenWarnings.size(); ++i)
    if (checks[i]) warnings.emplace_back(kScreenWarnings[i]);
}

}  // namespace tintrel
