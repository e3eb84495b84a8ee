// SPDX-License-Identifier: MIT
// What a catalogue run tells on standard error: its messages, one a line, and the progress line
// when it is wanted, which a message clears before it is written.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tintrel {

// How often the progress line is written at most.
inline constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// Writes all of `text` to standard error, or as much as it takes.
void WriteToStderr(const std::string& text);

struct Messages {
  bool ShowProgress = false;
  bool ProgressOnScreen = false;  // a progress line stands unfinished on the terminal
  std::chrono::steady_clock::time_point LastProgress{};
  uint64_t Files = 0, Bytes = 0, Errors = 0;
};

// A message, after the program's name.
void Say(Messages& messages, const std::string& message);

// The progress line, unless one was written lately; `last` writes it whatever the time, and ends
// it.
void ShowProgress(Messages& messages, bool last);

// A usage error, with where to find help: the status 2.
int UsageError(const std::string& message);

}  // namespace tintrel
