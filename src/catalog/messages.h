// SPDX-License-Identifier: MIT
// What a catalogue run tells on standard error: its messages, one a line, the progress line when
// it is wanted, which a message clears before it is written, and the line that sums the run up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

namespace tintrel {

// How often the progress line is written at most.
inline constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// Writes all of `text` to standard error, or as much as it takes.
void WriteToStderr(const std::string& text);

// What an update did, by file on disk (a pack counts once).
struct UpdateCounts {
  uint64_t Added = 0, Changed = 0, Removed = 0, Unchanged = 0;
};

// How far the walk has gone: written by the walk's thread, read by the one that writes rows.
struct WalkCount {
  std::atomic<uint64_t> Paths = 0, Bytes = 0;
  std::atomic<bool> Over = false;
};

struct Messages {
  bool ShowProgress = false;
  bool ProgressOnScreen = false;  // a progress line stands unfinished on the terminal
  std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point LastProgress{};
  uint64_t Files = 0, Bytes = 0, Errors = 0;  // rows, and the bytes they were made of
  uint64_t Paths = 0, DiskBytes = 0;          // walked paths put, and their sizes on disk
  WalkCount Walked;                           // counted only when progress is shown
  std::unordered_set<uint64_t> ArtsMet;       // with progress: the art digests' first 8 bytes
  uint64_t Copies = 0;                        // rows of art met before
};

// A message, after the program's name.
void Say(Messages& messages, const std::string& message);

// The progress line, unless one was written lately; `last` writes it whatever the time.
void ShowProgress(Messages& messages, bool last);

// The run summed up in one line, without the program's name or the line end: the files walked,
// the rows and the bytes they were made of,
// the time, what an update did, the errors, the copies of art found, and the pictures drawn and
// removed.
struct RunTotals {
  uint64_t Paths = 0, Files = 0, Bytes = 0, Errors = 0, Copies = 0;
  double Seconds = 0;
  std::optional<UpdateCounts> Update;
  uint64_t PicturesDrawn = 0, PicturesRemoved = 0;
  bool Pictures = false;  // the run makes pictures
};
std::string SummaryLine(const RunTotals& totals);

// A usage error, with where to find help: the status 2.
int UsageError(const std::string& message);

}  // namespace tintrel
