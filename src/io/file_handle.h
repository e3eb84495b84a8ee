// SPDX-License-Identifier: MIT
// Files as the analysis reaches them: a descriptor that closes itself, and the reads and closes
// that report a failure as a FileError naming the file. An interrupted call is retried.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace tintrel {

struct FileHandle {
  int Fd = -1;

  FileHandle() = default;
  explicit FileHandle(int fd) : Fd(fd) {}
  FileHandle(FileHandle&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  // Closes without a word; CloseFile is the close that reports.
  ~FileHandle();

  bool IsOpen() const { return Fd >= 0; }
};

// Opens for reading only, with `extra_flags` (such as O_NONBLOCK) added. Not open when it cannot
// be opened; errno then tells why.
FileHandle OpenForReading(const std::string& name, int extra_flags = 0);

// Reads up to `size` bytes and returns how many came, 0 only at the end.
std::size_t ReadSome(const FileHandle& file, void* bytes, std::size_t size,
                     const std::string& name);

// Reads from `offset` until `size` bytes came or the file ends; returns how many came.
std::size_t ReadAt(const FileHandle& file, void* bytes, std::size_t size, uint64_t offset,
                   const std::string& name);

// The size of a regular file, or -1 for anything else (a pipe, a device, a socket).
int64_t RegularFileSize(const FileHandle& file);

// The position of the end of the file, or -1 when it has none (a pipe, a socket). The file's
// offset stays where it was.
int64_t EndOffset(const FileHandle& file);

// Asks without waiting for a shared lock on the whole file, held until the close. False only
// when another process holds an exclusive lock; a file system without locks goes on without one.
bool LockShared(const FileHandle& file);

// A new file with no name in the folder of temporary files ($TMPDIR, else /tmp), open for reading
// and writing; it is gone once closed. Not open when it cannot be made; errno then tells why.
FileHandle OpenTemporaryFile();

// Writes all of `size` bytes at `offset`; a failed write is a FileError.
void WriteAt(const FileHandle& file, const void* bytes, std::size_t size, uint64_t offset,
             const std::string& name);

// Closes the file; a failed close is a FileError.
void CloseFile(FileHandle& file, const std::string& name);

// True when the path, links followed, names something that exists and is not a directory.
bool PathExists(const std::string& path);

}  // namespace tintrel
