#include "output/report_writer.h"

#include "meta/file_digest.h"
#include "meta/sauce_record.h"
#include "output/color_statistics.h"
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

void WriteReport(ScanState& scan, Output& out, const std::string& name, EarlyDigest* early) {
  WriteRule(out, "File ");
  WriteField(out, "Filename   : ", name);
  WriteField(out, "MD5 Hash   : ", DigestToHex(FileDigest(name, early)) + ",");
  WriteLine(out, "");

  WriteRule(out, "Colors ");
  const ColorStatistics stats = ComputeColorStatistics(scan);
  for (int position = 7; position >= 1; --position) {
    const ColorTally& tally = scan.ColorTable[position];
    WriteField(out, kColorLabels[tally.Color], PercentCell(tally.Percent));
  }
  WriteLine(out, "");

  WriteRule(out, "Chars ");
  WriteField(out, "Total Chars : ", IntToText(stats.ColorTotal));
  WriteField(out, "Total Colors: ", IntToText(stats.ColorsUsed));
  WriteLine(out, "");
  WriteField(out, "Low Ascii   : ", PercentCell(LowAsciiPercent(scan)));
  WriteField(out, "High Ascii  : ", PercentCell(HighAsciiPercent(scan)));
  WriteLine(out, "");

  SauceRecord record;
  if (!ReadSauce(name, record)) return;
  WriteRule(out, "Sauce Data ");
  WriteField(out, "Title      : ", FieldText(record.Title));
  WriteField(out, "Author     : ", FieldText(record.Author));
  WriteField(out, "Group      : ", FieldText(record.Group));
  WriteField(out, "Date       : ", FieldText(record.Date));
}

}  // namespace tintrel
