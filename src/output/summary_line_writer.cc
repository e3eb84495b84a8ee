#include "output/summary_line_writer.h"

#include <cstdlib>

#include "analysis/color_statistics.h"
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

void WriteSummaryLine(const Analysis& analysis, Output& out) {
  ThrowIfFailed(analysis.ScanFault);
  const ColorStatistics stats = ComputeColorStatistics(analysis.Scan);
  ThrowIfFailed(analysis.DigestFault);
  WriteText(out, DigestToHex(analysis.FileMd5));
  WriteText(out, ",");
  for (int position = 7; position >= 5; --position) {
    const ColorTally& tally = stats.Ranked[position];
    if (tally.Count != 0 && tally.Percent > kNamedShareAbove)
      WriteText(out, kColorWords[tally.Color]);
  }
  WriteText(out, IntToText(stats.ColorsUsed));
  WriteText(out, ",");
  const int low = LowAsciiPercent(analysis.Scan);
  const int high = HighAsciiPercent(analysis.Scan);
  if (std::abs(low - high) < kVerdictDistance)
    WriteText(out, "mixed,");
  else
    WriteText(out, low > high ? "low," : "high,");
  ThrowIfFailed(analysis.SauceFault);
  if (!analysis.Sauce) {
    WriteLine(out, ",,,");
    return;
  }
  const SauceRecord& record = *analysis.Sauce;
  WriteQuoted(out, FieldText(record.Title));
  WriteQuoted(out, FieldText(record.Author));
  WriteQuoted(out, FieldText(record.Group));
  WriteLine(out, StripTrailing(FieldText(record.Date), ' '));
}

}  // namespace tintrel
