#include "scan/file_reader.h"

#include <emmintrin.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "scan/escape_interpreter.h"

namespace tintrel {

namespace {

constexpr uint8_t kPipe = '|';
constexpr uint8_t kEscape = 27;

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
    case kEscape:
    case kPipe: return false;
    default: return true;
  }
}

// How many of the 16 bits are set.
inline int64_t BitsSet(uint32_t bits) {
  bits = bits - ((bits >> 1) & 0x5555);
  bits = (bits & 0x3333) + ((bits >> 2) & 0x3333);
  bits = (bits + (bits >> 4)) & 0x0F0F;
  return (bits + (bits >> 8)) & 0x1F;
}

// Charges the run of ordinary bytes at the reading position, up to the end of the current block,
// in one step: the cells all go to the attribute in force. Sixteen bytes are classified at once.
void ChargeOrdinaryRun(BlockReader& reader, ScanState& scan) {
  const uint8_t* start = reader.Block + reader.BlockPos;
  const uint8_t* end = reader.Block + reader.BlockCount;
  const uint8_t* at = start;
  int64_t high = 0;
  const __m128i kHighest = _mm_set1_epi8(127);
  for (; end - at >= 16; at += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i special = _mm_cmpeq_epi8(bytes, _mm_setzero_si128());
    for (char c : {'\x09', '\x0a', '\x0c', '\x0e', '\x0f', '\x1a', '\x1b', '|'})
      special = _mm_or_si128(special, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)));
    // High: 127, or 128 and above, which read as negative.
    auto high_bits = static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, kHighest), _mm_cmplt_epi8(bytes, _mm_setzero_si128()))));
    auto special_bits = static_cast<uint32_t>(_mm_movemask_epi8(special));
    if (special_bits != 0) {
      int ordinary = __builtin_ctz(special_bits);
      high += BitsSet(high_bits & ((1u << ordinary) - 1));
      at += ordinary;
      end = at;  // the run ends here
      break;
    }
    high += BitsSet(high_bits);
  }
  while (at < end && IsOrdinary(*at)) high += *at++ >= 127;
  int64_t cells = at - start;
  if (cells == 0) return;
  AddToTally(scan, cells);
  scan.LowAsciiCount += cells - high;
  scan.HighAsciiCount += high;
  reader.BlockPos = static_cast<uint16_t>(reader.BlockPos + cells);
}

// Takes a whole "ESC [ parameters final" that lies inside the current block in one step, as the
// interpreter would byte by byte. Returns false, taking nothing, for anything else: ESC without
// "[", a sequence that runs past the block, more parameter characters than are kept, and a "|" or
// end mark in the place of the final byte, which the byte-by-byte path must see.
bool TakeWholeSequence(BlockReader& reader, Interpreter& in) {
  const uint8_t* at = reader.Block + reader.BlockPos;
  const uint8_t* end = reader.Block + reader.BlockCount;
  if (end - at < 3 || at[1] != '[') return false;
  const uint8_t* params = at + 2;
  const uint8_t* final = params;
  if (end - params >= 16) {
    // Sixteen bytes at once: parameters are digits, ";" and "?".
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(params));
    __m128i digit_value = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    __m128i is_param =
        _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(digit_value, _mm_set1_epi8(9)), digit_value),
                     _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(';')),
                                  _mm_cmpeq_epi8(bytes, _mm_set1_epi8('?'))));
    auto other_bits = static_cast<uint32_t>(~_mm_movemask_epi8(is_param) & 0xFFFF);
    final = other_bits != 0 ? params + __builtin_ctz(other_bits) : params + 16;
  }
  while (final < end && IsParamChar(*final)) ++final;
  if (final == end || *final == kPipe || *final == kEndMark) return false;
  auto length = static_cast<std::size_t>(final - params);
  if (length > in.Params.Chars.size()) return false;
  if (*final != 'm' || !ApplyRenditionBytes(in, params, length)) {
    std::memcpy(in.Params.Chars.data(), params, length);
    in.Params.Length = static_cast<uint8_t>(length);
    in.Params.Start = 0;
    HandleCsiFinal(in, *final);
  }
  reader.BlockPos = static_cast<uint16_t>(final + 1 - reader.Block);
  return true;
}

// Takes a pipe code that lies whole inside the current block; false, taking nothing, otherwise.
bool TakeWholePipeCode(BlockReader& reader, ScanState& scan) {
  const uint8_t* at = reader.Block + reader.BlockPos;
  if (reader.BlockCount - reader.BlockPos < 3) return false;
  int code = PipeCodeValue(at[1], at[2]);
  if (code < 0) return false;
  scan.ColorTable[code % 8].Count += 1;
  reader.BlockPos = static_cast<uint16_t>(reader.BlockPos + 3);
  return true;
}

// The byte loop shared by files and memory.
void ScanBlocks(BlockReader& reader, ScanState& scan, Output& out) {
  Interpreter in{scan, out};
  for (;;) {
    if (in.ParserState == StateNormal && reader.Replays == 0) {
      ChargeOrdinaryRun(reader, scan);
      if (reader.BlockPos < reader.BlockCount) {
        uint8_t next = reader.Block[reader.BlockPos];
        if (next == kEscape && TakeWholeSequence(reader, in)) continue;
        if (next == kPipe && TakeWholePipeCode(reader, scan)) continue;
      }
    }
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
