// The scan of one file: its bytes in 4096-byte blocks up to the first byte 26, the "|NN" pipe
// colour codes charged straight to the tallies, every other byte handed to the interpreter.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "output/output.h"
#include "scan/scan_state.h"

namespace tintrel {

inline constexpr uint8_t kEndMark = 26;
inline constexpr std::size_t kBlockSize = 4096;

struct BlockReader {
  int Fd = -1;
  const std::string* Name = nullptr;  // for the report of a failed read
  // Bytes already in memory can be the source instead of Fd: their blocks are taken in place,
  // with the same boundaries a file of those bytes would have.
  bool InMemory = false;
  const uint8_t* Source = nullptr;
  std::size_t SourceLeft = 0;
  std::array<uint8_t, kBlockSize> BlockBuffer;
  const uint8_t* Block = nullptr;  // the current block: BlockBuffer, or a part of Source
  uint16_t BlockPos = 0;           // bytes of the current block already yielded
  int32_t BlockCount = 0;          // bytes the last read delivered
  bool AtEnd = false;              // a read delivered 0 bytes
  // The two bytes StepBack handed back, and how many of them are still to be yielded again.
  std::array<uint8_t, 2> Replay{};
  uint8_t Replays = 0;
};

// The next byte of the file, or the end mark 26 once the file is exhausted.
uint8_t NextByte(BlockReader& reader);

// The next two NextByte calls yield again the two bytes the last two calls yielded, which the
// caller hands back: the reader keeps no look-behind on the byte-by-byte path.
inline void StepBack(BlockReader& reader, uint8_t c1, uint8_t c2) {
  reader.Replay = {c1, c2};
  reader.Replays = 2;
}

// The value 0 to 23 of the pipe code "|" c1 c2, or -1 when the two bytes form none.
int PipeCodeValue(uint8_t c1, uint8_t c2);

// Plain file access, shared with the digest and the SAUCE reader. An interrupted call is retried.
// Opens the file for reading only; -1 when it cannot be opened.
int OpenForReading(const std::string& name);
// Reads up to `size` bytes and returns how many came, 0 only at the end. A failed read is a
// FileError naming the file.
std::size_t ReadSome(int fd, void* bytes, std::size_t size, const std::string& name);
// Closes the file; a failed close is a FileError naming the file.
void CloseFile(int fd, const std::string& name);

// Scans the named file into `scan`. A file that cannot be opened gets the line
// "File NAME not found." and leaves `scan` untouched; a failed read or close is a FileError.
void ScanImage(ScanState& scan, Output& out, const std::string& name);

// Scans bytes held in memory exactly as ScanImage scans a file holding them.
void ScanMemory(ScanState& scan, Output& out, const uint8_t* bytes, std::size_t size);

}  // namespace tintrel
