#include "output/summary_line_writer.h"

#include <cstdlib>

#include "meta/file_digest.h"
#include "meta/sauce_record.h"
#include "output/color_statistics.h"
#include "text/short_text.h"

namespace tintrel {

namespace {

constexpr std::string_view kColorWords[8] = {
    "", "blueish,", "greenish,", "cyanish,", "redish,", "magentish,", "yellowish,", "grayish,",
};

// Minor shares (10 % and less) are not named.
constexpr int kNamedShareAbove = 10;
// Percentages closer than this call the drawing mixed.
constexpr int kVerdictDistance = 33;

void WriteQuoted(Output& out, std::string_view field) {
  WriteText(out, "\"");
  WriteText(out, StripTrailing(field, ' '));
  WriteText(out, "\",");
}

}  // namespace

void WriteSummaryLine(ScanState& scan, Output& out, const std::string& name, EarlyDigest* early) {
  const ColorStatistics stats = ComputeColorStatistics(scan);
  WriteText(out, DigestToHex(FileDigest(name, early)));
  WriteText(out, ",");
  for (int position = 7; position >= 5; --position) {
    const ColorTally& tally = scan.ColorTable[position];
    if (tally.Count != 0 && tally.Percent > kNamedShareAbove)
      WriteText(out, kColorWords[tally.Color]);
  }
  WriteText(out, IntToText(stats.ColorsUsed));
  WriteText(out, ",");
  const int low = LowAsciiPercent(scan);
  const int high = HighAsciiPercent(scan);
  if (std::abs(low - high) < kVerdictDistance)
    WriteText(out, "mixed,");
  else
    WriteText(out, low > high ? "low," : "high,");
  SauceRecord record;
  if (!ReadSauce(name, record)) {
    WriteLine(out, ",,,");
    return;
  }
  WriteQuoted(out, FieldText(record.Title));
  WriteQuoted(out, FieldText(record.Author));
  WriteQuoted(out, FieldText(record.Group));
  WriteLine(out, StripTrailing(FieldText(record.Date), ' '));
}

}  // namespace tintrel
