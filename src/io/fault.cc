// SPDX-License-Identifier: MIT
#include "io/fault.h"

#include <cstring>

namespace tintrel {

Fault FileError(const char* action, const std::string& name, int error_number) {
  std::string message = "Unable to ";
  message += action;
  message += " file \"";
  message += name;
  message += '"';
  if (error_number != 0) {
    message += ": ";
    message += std::strerror(error_number);
  }
  return Fault("FileError", std::move(message), error_number);
}

}  // namespace tintrel
