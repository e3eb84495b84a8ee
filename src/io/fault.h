// SPDX-License-Identifier: MIT
// The one type for the faults that nothing handles: a file that cannot be read, output the system
// refuses. Thrown where they happen; expected outcomes (no SAUCE record, a missing file) are
// values instead.
#pragma once

#include <exception>
#include <string>

namespace tintrel {

struct Fault : std::exception {
  std::string Kind;     // "FileError", "OutputError"
  std::string Message;  // what failed, with the system's reason where there is one
  int ErrorNumber = 0;  // the system's errno, 0 when there is none

  Fault(std::string kind, std::string message, int error_number = 0)
      : Kind(std::move(kind)), Message(std::move(message)), ErrorNumber(error_number) {}
  const char* what() const noexcept override { return Message.c_str(); }
};

// A FileError such as: Unable to read file "art.ans": Input/output error. An error number of 0
// gives the message without a reason.
Fault FileError(const char* action, const std::string& name, int error_number);

}  // namespace tintrel
