// SPDX-License-Identifier: MIT
// Runs the built programs as a user would and collects what they printed.
#pragma once

#include <string>
#include <vector>

namespace tintrel::testkit {

struct RunResult {
  std::string Stdout;
  std::string Stderr;
  int ExitStatus = -1;  // -1 when the process did not exit normally
};

// Runs `program` with the arguments in `dir`, standard input from /dev/null. With `stdout_fd`
// given, standard output goes there (such as /dev/full, or a pipe nobody reads) instead of being
// collected.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& dir = ".", int stdout_fd = -1);

// RunProgram on the built tintrel.
RunResult RunTintrelBinary(const std::vector<std::string>& args, const std::string& dir = ".",
                           int stdout_fd = -1);

}  // namespace tintrel::testkit
