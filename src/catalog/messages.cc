// SPDX-License-Identifier: MIT
#include "catalog/messages.h"

#include <unistd.h>

#include <cstdio>

namespace tintrel {

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
  char line[128];
  std::snprintf(line, sizeof line, "\r%llu files, %.1f MB, %llu errors\x1b[K%s",
                static_cast<unsigned long long>(messages.Files),
                static_cast<double>(messages.Bytes) / 1e6,
                static_cast<unsigned long long>(messages.Errors), last ? "\n" : "");
  WriteToStderr(line);
  messages.ProgressOnScreen = !last;
}

int UsageError(const std::string& message) {
  WriteToStderr("tintrel-catalog: " + message +
                "\nTry 'tintrel-catalog --help' for more information.\n");
  return 2;
}

}  // namespace tintrel
