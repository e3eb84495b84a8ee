#include "meta/sauce_record.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/driver.h"
#include "output/unhandled_error.h"
#include "scan/file_reader.h"

namespace tintrel {

namespace {

// Reads until `size` bytes came or the file ends; returns how many came.
std::size_t ReadFully(int fd, char* bytes, std::size_t size, const std::string& name) {
  std::size_t got = 0;
  while (got < size) {
    std::size_t count = ReadSome(fd, bytes + got, size - got, name);
    if (count == 0) break;
    got += count;
  }
  return got;
}

// The record's bytes, or false when the file holds no 128 bytes at its end.
bool ReadLastBlock(int fd, const std::string& name, SauceRecord& record) {
  if (lseek(fd, -static_cast<off_t>(kSauceSize), SEEK_END) < 0) return false;
  std::array<char, kSauceSize> block;
  if (ReadFully(fd, block.data(), block.size(), name) != block.size()) return false;
  std::memcpy(&record, block.data(), block.size());
  return true;
}

}  // namespace

bool ReadSauce(const std::string& name, SauceRecord& record) {
  if (!PathExists(name)) return false;
  int fd = OpenForReading(name);
  if (fd < 0) ThrowFileError("open", name, 0);
  // A shared lock lets parallel runs read the same file; only a writer's exclusive lock refuses
  // us. A file system without locks is read without one.
  if (flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    close(fd);
    ThrowFileError("open", name, 0);
  }
  bool found;
  try {
    found = ReadLastBlock(fd, name, record);
  } catch (...) {
    close(fd);
    throw;
  }
  CloseFile(fd, name);
  return found && FieldText(record.Id) == "SAUCE";
}

}  // namespace tintrel
