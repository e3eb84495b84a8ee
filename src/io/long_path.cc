// SPDX-License-Identifier: MIT
#include "io/long_path.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace tintrel {

namespace {

// Where the last piece of `path` stands: a folder opened for it when the path is too long for
// one call (left closed, meaning the working folder's AT_FDCWD, otherwise), and that last piece.
// False, with errno set, when a folder on the way cannot be opened.
bool ReachLastPiece(const std::string& path, FileHandle& folder, std::string& last) {
  if (path.size() < PATH_MAX) {
    last = path;
    return true;
  }
  std::string_view rest = path;
  int at = AT_FDCWD;
  if (rest.front() == '/') {
    folder = FileHandle(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen()) return false;
    at = folder.Fd;
    rest.remove_prefix(1);
  }
  while (rest.size() >= PATH_MAX) {
    // The longest run of whole pieces one call takes; a single piece that long is no name at all.
    const std::size_t cut = rest.substr(0, PATH_MAX - 1).rfind('/');
    if (cut == 0 || cut == std::string_view::npos) {
      errno = ENAMETOOLONG;
      return false;
    }
    const std::string pieces(rest.substr(0, cut));
    FileHandle next(openat(at, pieces.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!next.IsOpen()) return false;
    folder = std::move(next);
    at = folder.Fd;
    rest.remove_prefix(cut + 1);
  }
  last = std::string(rest);
  return true;
}

int AtOf(const FileHandle& folder) {
  return folder.IsOpen() ? folder.Fd : AT_FDCWD;
}

}  // namespace

bool StatLongPath(const std::string& path, struct stat& status) {
  FileHandle folder;
  std::string last;
  return ReachLastPiece(path, folder, last) && fstatat(AtOf(folder), last.c_str(), &status, 0) == 0;
}

FileHandle OpenLongPath(const std::string& path, int extra_flags) {
  FileHandle folder;
  std::string last;
  if (!ReachLastPiece(path, folder, last)) return FileHandle();
  int fd;
  do {
    fd = openat(AtOf(folder), last.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | extra_flags);
  } while (fd < 0 && errno == EINTR);
  return FileHandle(fd);
}

FileHandle OpenFolder(int at, const std::string& name) {
  FileHandle folder;
  std::string last = name;
  if (at == AT_FDCWD && !ReachLastPiece(name, folder, last)) return FileHandle();
  return FileHandle(openat(folder.IsOpen() ? folder.Fd : at, last.c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
}

}  // namespace tintrel
