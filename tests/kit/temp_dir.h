// SPDX-License-Identifier: MIT
// A scratch folder per test, removed with everything in it when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace tintrel::testkit {

struct TempDir {
  std::string Path;
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

// Writes the bytes to the file at `path`, replacing it, and returns the path.
std::string WriteFile(const std::string& path, std::string_view bytes);

// Binds a UNIX socket at `path`: a name that exists but cannot be opened. Returns the socket, to
// be closed by the caller.
int BindSocket(const std::string& path);

}  // namespace tintrel::testkit
