// The whole analysis of any bytes, through the real file paths: the bytes go into a memory file
// opened by name (/proc/self/fd/N), which is scanned, digested, read for a SAUCE record and
// written both ways. Aborts on a fault or on output that breaks what both writers promise.
#include <nettle/md5.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "meta/file_digest.h"
#include "meta/sauce_record.h"
#include "output/output.h"
#include "output/report_writer.h"
#include "output/summary_line_writer.h"
#include "scan/file_reader.h"
#include "scan/scan_state.h"
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

// One memory file for the whole run, refilled for each input.
const std::string& MemoryFile(const uint8_t* data, std::size_t size) {
  static int fd = memfd_create("art", MFD_CLOEXEC);
  static const std::string name = "/proc/self/fd/" + std::to_string(fd);
  Check(fd >= 0 && ftruncate(fd, 0) == 0, "memory file");
  for (std::size_t done = 0; done < size;) {
    ssize_t written = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    Check(written > 0, "memory file write");
    done += static_cast<std::size_t>(written);
  }
  return name;
}

std::string Md5Hex(const uint8_t* data, std::size_t size) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, size, data);
  Digest digest;
  md5_digest(&context, digest.size(), digest.data());
  return DigestToHex(digest);
}

// Runs `step` on a fresh output whose bytes end up in the result; no fault may escape.
template <typename Step>
std::string Capture(Step step) {
  std::string text;
  Output out;
  out.Sink = &text;
  try {
    step(out);
    FlushOutput(out);
  } catch (const UnhandledError& error) {
    Fail(error.Kind, error.Message);
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

bool SameScan(const ScanState& a, const ScanState& b) {
  for (std::size_t i = 0; i < 8; ++i) {
    if (a.ColorTable[i].Count != b.ColorTable[i].Count) return false;
  }
  return a.CurrentAttr == b.CurrentAttr && a.CursorX == b.CursorX && a.CursorY == b.CursorY &&
         a.LowAsciiCount == b.LowAsciiCount && a.HighAsciiCount == b.HighAsciiCount;
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const std::string& name = MemoryFile(data, size);
  const std::string digest = Md5Hex(data, size);
  const bool has_sauce =
      size >= kSauceSize && std::memcmp(data + size - kSauceSize, "SAUCE", 5) == 0;
  const std::string_view sauce =
      has_sauce
          ? std::string_view(reinterpret_cast<const char*>(data) + size - kSauceSize, kSauceSize)
          : std::string_view();

  // As the driver runs it: an early digest (none below its size), the scan, then a writer.
  EarlyDigest early;
  StartEarlyDigest(early, name);
  ScanState scanned;
  ResetColorTable(scanned);
  SetCursor(scanned, 1, 1);
  const std::string reports = Capture([&](Output& out) { ScanImage(scanned, out, name); });
  CheckReports(reports);

  // The file and the same bytes in memory scan alike.
  ScanState in_memory;
  ResetColorTable(in_memory);
  SetCursor(in_memory, 1, 1);
  Check(Capture([&](Output& out) { ScanMemory(in_memory, out, data, size); }) == reports &&
            SameScan(scanned, in_memory),
        "file and memory scans differ");

  ScanState for_report = scanned;
  const std::string report =
      Capture([&](Output& out) { WriteReport(for_report, out, name, &early); });
  ReportFigures figures = CheckReport(report, name, digest, scanned, sauce, has_sauce);
  ScanState for_summary = scanned;
  const std::string summary =
      Capture([&](Output& out) { WriteSummaryLine(for_summary, out, name); });
  CheckSummary(summary, digest, figures, sauce, has_sauce);
  return 0;
}
