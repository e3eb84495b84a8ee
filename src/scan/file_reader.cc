#include "scan/file_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "scan/escape_interpreter.h"

namespace tintrel {

namespace {

constexpr uint8_t kPipe = '|';

// Reads the next block; false when the file is exhausted.
bool ReadBlock(BlockReader& reader) {
  if (reader.AtEnd) return false;
  std::size_t count =
      ReadSome(reader.Fd, reader.BlockBuffer.data(), reader.BlockBuffer.size(), *reader.Name);
  reader.BlockCount = static_cast<int32_t>(count);
  reader.BlockPos = 0;
  reader.AtEnd = count == 0;
  return count > 0;
}

}  // namespace

int OpenForReading(const std::string& name) {
  int fd;
  do {
    fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::size_t ReadSome(int fd, void* bytes, std::size_t size, const std::string& name) {
  for (;;) {
    ssize_t count = read(fd, bytes, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) ThrowFileError("read", name, errno);
  }
}

void CloseFile(int fd, const std::string& name) {
  // After EINTR the descriptor is gone all the same on Linux; only a real failure is reported.
  if (close(fd) != 0 && errno != EINTR) ThrowFileError("close", name, errno);
}

uint8_t NextByte(BlockReader& reader) {
  if (reader.Replays > 0) return reader.Replay[2 - reader.Replays--];
  if (reader.BlockPos < reader.BlockCount || ReadBlock(reader))
    return reader.BlockBuffer[reader.BlockPos++];
  return kEndMark;
}

int PipeCodeValue(uint8_t c1, uint8_t c2) {
  if (c1 < '0' || c1 > '2' || c2 < '0' || c2 > '9') return -1;
  int value = (c1 - '0') * 10 + (c2 - '0');
  return value <= 23 ? value : -1;
}

void ScanImage(ScanState& scan, Output& out, const std::string& name) {
  int fd = OpenForReading(name);
  if (fd < 0) {
    WriteLine(out, "File " + name + " not found.");
    return;
  }
  BlockReader reader;
  reader.Fd = fd;
  reader.Name = &name;
  Interpreter in{scan, out};
  try {
    for (;;) {
      uint8_t b = NextByte(reader);
      if (b == kEndMark) break;
      if (b != kPipe) {
        ProcessChar(in, b);
        continue;
      }
      uint8_t c1 = NextByte(reader);
      uint8_t c2 = NextByte(reader);
      if (int code = PipeCodeValue(c1, c2); code >= 0) {
        // A pipe code charges one cell to its colour and touches nothing else.
        scan.ColorTable[code % 8].Count += 1;
      } else {
        // A "|" that starts no code is an ordinary byte; the two after it are read again.
        ProcessChar(in, kPipe);
        StepBack(reader, c1, c2);
      }
    }
  } catch (...) {
    close(fd);
    throw;
  }
  CloseFile(fd, name);
}

}  // namespace tintrel
