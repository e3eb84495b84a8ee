#include "scan/file_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "scan/escape_interpreter.h"

namespace tintrel {

namespace {

constexpr uint8_t kPipe = '|';

// Makes the next block current; false when the source is exhausted.
bool ReadBlock(BlockReader& reader) {
  if (reader.AtEnd) return false;
  std::size_t count;
  if (reader.InMemory) {
    count = reader.SourceLeft < kBlockSize ? reader.SourceLeft : kBlockSize;
    reader.Block = reader.Source;
    reader.Source += count;
    reader.SourceLeft -= count;
  } else {
    count = ReadSome(reader.Fd, reader.BlockBuffer.data(), kBlockSize, *reader.Name);
    reader.Block = reader.BlockBuffer.data();
  }
  reader.BlockCount = static_cast<int32_t>(count);
  reader.BlockPos = 0;
  reader.AtEnd = count == 0;
  return count > 0;
}

// Bytes that draw one cell and count as a low or a high character, and nothing else: every byte
// but the controls the interpreter acts on (0, 9, 10, 12, 14, 15, ESC), the end mark and "|".
bool IsOrdinary(uint8_t b) {
  switch (b) {
    case 0:
    case 9:
    case 10:
    case 12:
    case 14:
    case 15:
    case kEndMark:
    case 27:
    case kPipe: return false;
    default: return true;
  }
}

// Charges the run of ordinary bytes at the reading position, up to the end of the current block,
// in one step: the cells all go to the attribute in force.
void ChargeOrdinaryRun(BlockReader& reader, ScanState& scan) {
  const uint8_t* start = reader.Block + reader.BlockPos;
  const uint8_t* end = reader.Block + reader.BlockCount;
  const uint8_t* at = start;
  int64_t high = 0;
  while (at < end && IsOrdinary(*at)) high += *at++ >= 127;
  int64_t cells = at - start;
  if (cells == 0) return;
  AddToTally(scan, cells);
  scan.LowAsciiCount += cells - high;
  scan.HighAsciiCount += high;
  reader.BlockPos = static_cast<uint16_t>(reader.BlockPos + cells);
}

// The byte loop shared by files and memory.
void ScanBlocks(BlockReader& reader, ScanState& scan, Output& out) {
  Interpreter in{scan, out};
  for (;;) {
    if (in.ParserState == StateNormal && reader.Replays == 0) ChargeOrdinaryRun(reader, scan);
    uint8_t b = NextByte(reader);
    if (b == kEndMark) return;
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
    return reader.Block[reader.BlockPos++];
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
  try {
    ScanBlocks(reader, scan, out);
  } catch (...) {
    close(fd);
    throw;
  }
  CloseFile(fd, name);
}

void ScanMemory(ScanState& scan, Output& out, const uint8_t* bytes, std::size_t size) {
  BlockReader reader;
  reader.InMemory = true;
  reader.Source = bytes;
  reader.SourceLeft = size;
  ScanBlocks(reader, scan, out);
}

}  // namespace tintrel
