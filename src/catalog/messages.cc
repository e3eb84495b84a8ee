// SPDX-License-Identifier: MIT
#include "catalog/messages.h"

#include <unistd.h>

#include <cstdio>

namespace tintrel {

namespace {

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

// "1 error", "2 errors".
std::string Counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

std::string Duration(double seconds) {
  const auto whole = static_cast<uint64_t>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                  static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned long long>(whole / 60 % 60),
                  static_cast<unsigned long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(whole / 60),
                  static_cast<unsigned long long>(whole % 60));
  }
  return text;
}

// The files and bytes done, of how many once the walk is over, the rate, and the time left.
std::string ProgressText(const Messages& messages, double seconds) {
  const bool over = messages.Walked.Over.load();
  const uint64_t paths = messages.Walked.Paths.load(), bytes = messages.Walked.Bytes.load();
  std::string line = std::to_string(messages.Paths);
  if (over) line += " of " + std::to_string(paths);
  line += " files, " + Megabytes(messages.DiskBytes);
  if (over) line += " of " + Megabytes(bytes);
  const double rate = seconds > 0 ? static_cast<double>(messages.DiskBytes) / seconds : 0;
  char text[64];
  std::snprintf(text, sizeof text, ", %.1f MB/s", rate / 1e6);
  line += text;
  if (over && rate > 0 && bytes >= messages.DiskBytes)
    line += ", " + Duration(static_cast<double>(bytes - messages.DiskBytes) / rate) + " left";
  return line + ", " + Counted(messages.Errors, "error", "errors");
}

}  // namespace

void WriteToStderr(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t written = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (written <= 0) return;  // nowhere left to say anything
    done += static_cast<std::size_t>(written);
  }
}

void Say(Messages& messages, const std::string& message) {
  WriteToStderr(std::string(messages.ProgressOnScreen ? "\r\x1b[K" : "") +
                "tintrel-catalog: " + message + "\n");
  messages.ProgressOnScreen = false;
}

void ShowProgress(Messages& messages, bool last) {
  if (!messages.ShowProgress) return;
  const auto now = std::chrono::steady_clock::now();
  if (!last && now - messages.LastProgress < kProgressEvery) return;
  messages.LastProgress = now;
  const double seconds = std::chrono::duration<double>(now - messages.Started).count();
  WriteToStderr("\r" + ProgressText(messages, seconds) + "\x1b[K");
  messages.ProgressOnScreen = true;
}

std::string SummaryLine(const RunTotals& totals) {
  std::string line = Counted(totals.Paths, "file", "files") + ", " +
                     Counted(totals.Files, "row", "rows") + ", " + Megabytes(totals.Bytes);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, " read in %.1f s", totals.Seconds);
  line += seconds;
  if (const std::optional<UpdateCounts>& update = totals.Update) {
    line += ": " + std::to_string(update->Added) + " added, " + std::to_string(update->Changed) +
            " changed, " + std::to_string(update->Removed) + " removed, " +
            std::to_string(update->Unchanged) + " unchanged";
  }
  line += "; " + Counted(totals.Errors, "error", "errors") + ", " +
          Counted(totals.Copies, "copy", "copies") + " of art met before";
  if (totals.Pictures) {
    line += "; " + Counted(totals.PicturesDrawn, "picture", "pictures") + " drawn";
    if (totals.Update) line += ", " + std::to_string(totals.PicturesRemoved) + " removed";
  }
  return line;
}

int UsageError(const std::string& message) {
  WriteToStderr("tintrel-catalog: " + message +
                "\nTry 'tintrel-catalog --help' for more information.\n");
  return 2;
}

}  // namespace tintrel
