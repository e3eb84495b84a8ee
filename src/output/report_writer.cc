// SPDX-License-Identifier: MIT
#include "output/report_writer.h"

#include "analysis/color_statistics.h"
#include "text/short_text.h"

namespace tintrel {

namespace {

constexpr uint8_t kRuleWidth = 79;
constexpr uint8_t kPercentWidth = 4;

constexpr std::string_view kColorLabels[8] = {
    "",
    "Blueish    :",
    "Greenish   :",
    "Cyanish    :",
    "Redish     :",
    "Magentish  :",
    "Yellowish  :",
    "Grayish    :",
};

void WriteRule(Output& out, std::string_view title) {
  WriteLine(out, PadRightWith(title, kRuleWidth, '='));
}

std::string PercentCell(int percent) {
  return PadLeftWith(IntToText(percent) + "%", kPercentWidth, ' ');
}

void WriteField(Output& out, std::string_view label, std::string_view value) {
  WriteText(out, label);
  WriteLine(out, value);
}

}  // namespace

void WriteReport(const Analysis& analysis, Output& out) {
  ThrowIfFailed(analysis.ScanFault);
  WriteRule(out, "File ");
  WriteField(out, "Filename   : ", analysis.Name);
  ThrowIfFailed(analysis.DigestFault);
  WriteField(out, "MD5 Hash   : ", DigestToHex(analysis.FileMd5) + ",");
  WriteLine(out, "");

  WriteRule(out, "Colors ");
  const ColorStatistics stats = ComputeColorStatistics(analysis.Scan);
  for (int position = 7; position >= 1; --position) {
    const ColorTally& tally = stats.Ranked[position];
    WriteField(out, kColorLabels[tally.Color], PercentCell(tally.Percent));
  }
  WriteLine(out, "");

  WriteRule(out, "Chars ");
  WriteField(out, "Total Chars : ", IntToText(stats.ColorTotal));
  WriteField(out, "Total Colors: ", IntToText(stats.ColorsUsed));
  WriteLine(out, "");
  WriteField(out, "Low Ascii   : ", PercentCell(LowAsciiPercent(analysis.Scan)));
  WriteField(out, "High Ascii  : ", PercentCell(HighAsciiPercent(analysis.Scan)));
  WriteLine(out, "");

  ThrowIfFailed(analysis.SauceFault);
  if (!analysis.Sauce) return;
  const SauceRecord& record = *analysis.Sauce;
  WriteRule(out, "Sauce Data ");
  WriteField(out, "Title      : ", FieldText(record.Title));
  WriteField(out, "Author     : ", FieldText(record.Author));
  WriteField(out, "Group      : ", FieldText(record.Group));
  WriteField(out, "Date       : ", FieldText(record.Date));
}

}  // namespace tintrel
