// SPDX-License-Identifier: MIT
#include "output/summary_line_writer.h"

#include "analysis/color_statistics.h"
#include "text/short_text.h"

namespace tintrel {

namespace {

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
  for (uint8_t color : NamedColors(stats)) {
    WriteText(out, kColorWords[color]);
    WriteText(out, ",");
  }
  WriteText(out, IntToText(stats.ColorsUsed));
  WriteText(out, ",");
  WriteText(out, Verdict(analysis.Scan));
  WriteText(out, ",");
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
