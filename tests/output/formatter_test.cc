// SPDX-License-Identifier: MIT
// The formatters over one analysis: the same bytes however often they run, and where a step
// ended with a fault, its output stops where that step's part would begin.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "kit/sauce_bytes.h"
#include "kit/temp_dir.h"
#include "output/report_writer.h"
#include "output/summary_line_writer.h"

namespace tintrel {
namespace {

// What a formatter wrote, and the fault it threw, if any.
template <typename Formatter>
std::string Formatted(Formatter formatter, const Analysis& analysis) {
  std::string written;
  Output out;
  out.Sink = &written;
  try {
    formatter(analysis, out);
    FlushOutput(out);
  } catch (const Fault& fault) {
    FlushOutput(out);
    written += "<" + fault.Message + ">";
  }
  return written;
}

Analysis AnalysedArt() {
  testkit::TempDir dir;
  return AnalyseFile(
      testkit::WriteFile(dir.Path + "/art.ans",
                         "\x1b[31mred\x1a" + testkit::SauceBytes({"T", "A", "G", "D"})),
      {});
}

TEST(Formatters, SameBytesEveryTime) {
  const Analysis analysis = AnalysedArt();
  for (auto formatter : {WriteSummaryLine, WriteReport}) {
    const std::string first = Formatted(formatter, analysis);
    EXPECT_NE(first.find("edish"), std::string::npos) << first;
    EXPECT_EQ(Formatted(formatter, analysis), first);
  }
}

TEST(Formatters, StopWhereTheFailedStepsPartBegins) {
  const Analysis clean = AnalysedArt();
  const std::string summary = Formatted(WriteSummaryLine, clean);
  const std::string report = Formatted(WriteReport, clean);
  const std::size_t summary_sauce = summary.find("\"T\""), report_md5 = report.find("MD5 Hash"),
                    report_sauce = report.find("Sauce Data");
  struct Case {
    std::optional<Fault> Analysis::*step;
    std::string summary, report;
  } cases[] = {
      {&Analysis::ScanFault, "", ""},
      {&Analysis::DigestFault, "", report.substr(0, report_md5)},
      {&Analysis::SauceFault, summary.substr(0, summary_sauce), report.substr(0, report_sauce)},
  };
  for (const Case& c : cases) {
    Analysis failed = clean;
    failed.*c.step = FileError("read", "art.ans", EIO);
    const std::string fault = "<Unable to read file \"art.ans\": Input/output error>";
    EXPECT_EQ(Formatted(WriteSummaryLine, failed), c.summary + fault);
    EXPECT_EQ(Formatted(WriteReport, failed), c.report + fault);
  }
}

}  // namespace
}  // namespace tintrel
