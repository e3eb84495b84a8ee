// SPDX-License-Identifier: MIT
#include <csignal>

#include "driver/driver.h"

int main(int argc, char** argv) {
  // A reader that goes away makes the write fail with EPIPE, which ends the run like any other
  // refused write (status 217), instead of killing the process with a signal.
  std::signal(SIGPIPE, SIG_IGN);
  static tintrel::Output out;
  out.Limit = tintrel::kWholeRunOutput;
  return tintrel::RunTintrel(argc, argv, out);
}
