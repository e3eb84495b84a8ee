// SPDX-License-Identifier: MIT
// The whole analysis of any bytes, through the real file paths: the bytes go into a memory file
// opened by name (/proc/self/fd/N), which is scanned, digested, read for a SAUCE record and
// formatted both ways, twice. Aborts on a fault or on output that breaks what both formatters
// promise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "kit/md5_hex.h"
#include "kit/reference_scan.h"
#include "memory_file.h"
#include "output/report_writer.h"
#include "output/summary_line_writer.h"
#include "scan/scanner.h"
#include "text/short_text.h"

namespace tintrel {
namespace {

[[noreturn]] void Fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "whole analysis: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void Check(bool holds, const char* what, std::string_view detail = {}) {
  if (!holds) Fail(what, detail);
}

// What a formatter writes for the analysis; no fault may escape.
template <typename Formatter>
std::string Formatted(Formatter formatter, const Analysis& analysis) {
  std::string text;
  Output out;
  out.Sink = &text;
  try {
    formatter(analysis, out);
    FlushOutput(out);
  } catch (const Fault& fault) {
    Fail(fault.Kind.c_str(), fault.Message);
  }
  return text;
}

// Position reports only: ESC [ row ; column R, numbers 0 to 255.
void CheckReports(std::string_view reports) {
  while (!reports.empty()) {
    Check(reports.substr(0, 2) == "\x1b[", "report start", reports);
    reports.remove_prefix(2);
    for (char end : {';', 'R'}) {
      std::size_t digits = reports.find_first_not_of("0123456789");
      Check(digits >= 1 && digits <= 3 && digits < reports.size() && reports[digits] == end,
            "report number", reports);
      Check(std::stoi(std::string(reports.substr(0, digits))) <= 255, "report range", reports);
      reports.remove_prefix(digits + 1);
    }
  }
}

std::string_view Take(std::string_view& text, std::size_t count) {
  Check(text.size() >= count, "text ends early", text);
  std::string_view part = text.substr(0, count);
  text.remove_prefix(count);
  return part;
}

void Expect(std::string_view& text, std::string_view start) {
  Check(Take(text, start.size()) == start, "expected text", start);
}

std::string_view Line(std::string_view& text) {
  std::size_t end = text.find('\n');
  Check(end != std::string_view::npos, "line end", text);
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return line;
}

// "nnn%" padded to four bytes: the number, checked to be within 0 to 100.
int PercentCell(std::string_view cell) {
  Check(cell.size() == 4 && cell.back() == '%', "percent cell", cell);
  std::size_t first = cell.find_first_not_of(' ');
  Check(first < 3, "percent digits", cell);
  int percent = std::stoi(std::string(cell.substr(first, 3 - first)));
  Check(percent >= 0 && percent <= 100, "percent range", cell);
  return percent;
}

constexpr std::string_view kWords[8] = {"",       "blueish",   "greenish",  "cyanish",
                                        "redish", "magentish", "yellowish", "grayish"};
constexpr std::string_view kLabels[8] = {"",
                                         "Blueish    :",
                                         "Greenish   :",
                                         "Cyanish    :",
                                         "Redish     :",
                                         "Magentish  :",
                                         "Yellowish  :",
                                         "Grayish    :"};

struct ReportFigures {
  std::vector<int> Colors, Percents;  // rows of the colour section in order
  int Used = 0, Low = 0, High = 0;
};

ReportFigures CheckReport(std::string_view report, const std::string& name,
                          const std::string& digest, const ScanState& scanned,
                          std::string_view sauce, bool has_sauce) {
  ReportFigures figures;
  Expect(report, PadRightWith("File ", 79, '=') + "\nFilename   : " + name + "\nMD5 Hash   : " +
                     digest + ",\n\n" + PadRightWith("Colors ", 79, '=') + "\n");
  int64_t total = 0;
  for (int color = 1; color <= 7; ++color) total += scanned.ColorTable[color].Count;
  int previous = 100, sum = 0;
  bool seen[8] = {};
  for (int row = 0; row < 7; ++row) {
    std::string_view line = Line(report);
    int color = 1;
    while (color < 8 && line.substr(0, 12) != kLabels[color]) ++color;
    Check(color < 8 && !seen[color], "colour label", line);
    seen[color] = true;
    int percent = PercentCell(line.substr(12));
    const int64_t count = scanned.ColorTable[color].Count;
    Check(percent == (total == 0 ? 0 : static_cast<int>(count * 100 / total)), "colour share",
          line);
    Check(percent <= previous, "colour order", line);
    previous = percent;
    sum += percent;
    figures.Colors.push_back(color);
    figures.Percents.push_back(percent);
  }
  Check(sum <= 100 && (total == 0 || sum >= 94), "shares add up");
  Expect(report, "\n" + PadRightWith("Chars ", 79, '=') + "\nTotal Chars : " + IntToText(total) +
                     "\nTotal Colors: ");
  figures.Used = std::stoi(std::string(Line(report)));
  int used = 0;
  for (int color = 1; color <= 7; ++color) used += scanned.ColorTable[color].Count != 0;
  Check(figures.Used == used, "colours used");
  Expect(report, "\nLow Ascii   : ");
  figures.Low = PercentCell(Line(report));
  Expect(report, "High Ascii  : ");
  figures.High = PercentCell(Line(report));
  // The shares as the x87 extended float computes them: each step rounded to 64 bits.
  const int64_t chars = scanned.LowAsciiCount + scanned.HighAsciiCount;
  auto extended = [chars](int64_t part) {
    return chars == 0 ? 0 : static_cast<int>(static_cast<long double>(part) / chars * 100);
  };
  Check(figures.Low == extended(scanned.LowAsciiCount), "low share");
  Check(figures.High == extended(scanned.HighAsciiCount), "high share");
  Check(chars == 0 || (figures.Low + figures.High >= 98 && figures.Low + figures.High <= 100),
        "low and high add up");
  Expect(report, "\n");
  if (has_sauce) {
    Expect(report, PadRightWith("Sauce Data ", 79, '=') + "\n");
    Expect(report, "Title      : " + std::string(sauce.substr(7, 35)) + "\n");
    Expect(report, "Author     : " + std::string(sauce.substr(42, 20)) + "\n");
    Expect(report, "Group      : " + std::string(sauce.substr(62, 20)) + "\n");
    Expect(report, "Date       : " + std::string(sauce.substr(82, 8)) + "\n");
  }
  Check(report.empty(), "bytes after the report", report);
  return figures;
}

void CheckSummary(std::string_view line, const std::string& digest, const ReportFigures& report,
                  std::string_view sauce, bool has_sauce) {
  Check(!line.empty() && line.back() == '\n', "summary line end", line);
  Expect(line, digest + ",");
  // The words name the first colours of the report's order whose share is above 10 %.
  for (std::size_t row = 0; row < 3 && report.Percents[row] > 10; ++row)
    Expect(line, std::string(kWords[report.Colors[row]]) + ",");
  Expect(line, IntToText(report.Used) + ",");
  const int distance = std::abs(report.Low - report.High);
  Expect(line, distance < 33 ? "mixed," : report.Low > report.High ? "low," : "high,");
  if (!has_sauce) {
    Expect(line, ",,,\n");
  } else {
    auto field = [&](std::size_t at, std::size_t width) {
      return StripTrailing(sauce.substr(at, width), ' ');
    };
    Expect(line, "\"" + field(7, 35) + "\",\"" + field(42, 20) + "\",\"" + field(62, 20) + "\"," +
                     field(82, 8) + "\n");
  }
  Check(line.empty(), "bytes after the summary", line);
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const std::string& name = MemoryFile(data, size);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string digest = testkit::Md5Hex(bytes);
  const bool has_sauce = size >= kSauceSize && bytes.substr(size - kSauceSize, 5) == "SAUCE";
  const std::string_view sauce = has_sauce ? bytes.substr(size - kSauceSize) : std::string_view();

  std::string reports;
  const Analysis analysis = AnalyseFile(name, testkit::ReportsInto(reports));
  Check(analysis.Opened && !analysis.ScanFault && !analysis.DigestFault && !analysis.SauceFault,
        "a step failed");
  CheckReports(reports);
  Check(DigestToHex(analysis.FileMd5) == digest, "digest");
  const std::size_t art = std::min(bytes.find('\x1a'), size);
  Check(analysis.ScannedBytes == art &&
            DigestToHex(analysis.ArtMd5) == testkit::Md5Hex(bytes.substr(0, art)),
        "art digest");

  // The file and the same bytes in memory scan alike.
  ScanState in_memory;
  std::string memory_reports;
  ScanMemory(in_memory, testkit::ReportsInto(memory_reports), data, size);
  Check(memory_reports == reports && in_memory == analysis.Scan, "file and memory scans differ");

  const std::string report = Formatted(WriteReport, analysis);
  ReportFigures figures = CheckReport(report, name, digest, analysis.Scan, sauce, has_sauce);
  const std::string summary = Formatted(WriteSummaryLine, analysis);
  CheckSummary(summary, digest, figures, sauce, has_sauce);
  Check(Formatted(WriteReport, analysis) == report &&
            Formatted(WriteSummaryLine, analysis) == summary,
        "formatting again gives other bytes");
  return 0;
}
