// The one way out for faults that nothing handles: thrown where they happen, caught only at the
// program entry, which reports them and ends the run with kUnhandledExitStatus.
#pragma once

#include <string>

namespace tintrel {

inline constexpr int kUnhandledExitStatus = 217;

struct UnhandledError {
  const char* Kind;     // "FileError", "OutputError"
  std::string Message;  // what failed, with the system's reason where there is one
};

// Throws a FileError such as: Unable to read file "art.ans": Input/output error
[[noreturn]] void ThrowFileError(const char* action, const std::string& name, int error_number);

}  // namespace tintrel
