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

}  // namespace tintrel::testkit
