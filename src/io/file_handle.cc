// SPDX-License-Identifier: MIT
#include "io/file_handle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "io/fault.h"

namespace tintrel {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (Fd >= 0) close(Fd);
    Fd = std::exchange(other.Fd, -1);
  }
  return *this;
}

FileHandle::~FileHandle() {
  if (Fd >= 0) close(Fd);
}

FileHandle OpenForReading(const std::string& name, int extra_flags) {
  int fd;
  do {
    fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | extra_flags);
  } while (fd < 0 && errno == EINTR);
  return FileHandle(fd);
}

std::size_t ReadSome(const FileHandle& file, void* bytes, std::size_t size,
                     const std::string& name) {
  for (;;) {
    ssize_t count = read(file.Fd, bytes, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) throw FileError("read", name, errno);
  }
}

std::size_t ReadAt(const FileHandle& file, void* bytes, std::size_t size, uint64_t offset,
                   const std::string& name) {
  std::size_t got = 0;
  while (got < size) {
    ssize_t count = pread(file.Fd, static_cast<char*>(bytes) + got, size - got,
                          static_cast<off_t>(offset + got));
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError("read", name, errno);
    }
    got += static_cast<std::size_t>(count);
  }
  return got;
}

FileHandle OpenTemporaryFile() {
  const char* folder = std::getenv("TMPDIR");
  const std::string where = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  int fd = open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    // A file system without unnamed files: a named one, unlinked at once.
    std::string path = where + "/tintrel-XXXXXX";
    fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) unlink(path.c_str());
  }
  return FileHandle(fd);
}

void WriteAt(const FileHandle& file, const void* bytes, std::size_t size, uint64_t offset,
             const std::string& name) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t count = pwrite(file.Fd, static_cast<const char*>(bytes) + done, size - done,
                           static_cast<off_t>(offset + done));
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError("write", name, errno);
    }
    done += static_cast<std::size_t>(count);
  }
}

int64_t RegularFileSize(const FileHandle& file) {
  struct stat status;
  if (fstat(file.Fd, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return status.st_size;
}

int64_t EndOffset(const FileHandle& file) {
  // The next read goes on where the last one stopped: the record may be read before the art.
  const off_t here = lseek(file.Fd, 0, SEEK_CUR);
  if (here < 0) return -1;
  const off_t end = lseek(file.Fd, 0, SEEK_END);
  if (lseek(file.Fd, here, SEEK_SET) < 0) return -1;
  return end;
}

bool LockShared(const FileHandle& file) {
  return flock(file.Fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

void CloseFile(FileHandle& file, const std::string& name) {
  int fd = std::exchange(file.Fd, -1);
  // After EINTR the descriptor is gone all the same on Linux; only a real failure is reported.
  if (close(fd) != 0 && errno != EINTR) throw FileError("close", name, errno);
}

bool PathExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

}  // namespace tintrel
