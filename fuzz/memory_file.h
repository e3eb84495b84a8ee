// SPDX-License-Identifier: MIT
// A file in memory, opened by name (/proc/self/fd/N), so that a fuzz target reaches the real file
// paths without a disk: one for the whole run, refilled for each input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tintrel {

inline const std::string& MemoryFile(const uint8_t* data, std::size_t size) {
  static int fd = memfd_create("art", MFD_CLOEXEC);
  static const std::string name = "/proc/self/fd/" + std::to_string(fd);
  bool written = fd >= 0 && ftruncate(fd, 0) == 0;
  for (std::size_t done = 0; written && done < size;) {
    ssize_t count = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    written = count > 0;
    done += written ? static_cast<std::size_t>(count) : 0;
  }
  if (!written) {
    std::fprintf(stderr, "memory file: cannot write %zu bytes\n", size);
    std::abort();
  }
  return name;
}

}  // namespace tintrel
