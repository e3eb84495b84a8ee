// SPDX-License-Identifier: MIT
#include "packs/zip_reader.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "packs/stream_decoder.h"
#include "text/cp437.h"
#include "text/utf8.h"

namespace tintrel {

namespace {

constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint32_t kCentralHeader = 0x02014b50;
constexpr uint32_t kEndRecord = 0x06054b50;
constexpr uint32_t kEndRecord64 = 0x06064b50;
constexpr uint32_t kEndLocator64 = 0x07064b50;
constexpr uint32_t kDescriptor = 0x08074b50;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLongestComment = 0xFFFF;
// A directory larger than this is not believed: no pack of art holds that many members.
constexpr uint64_t kLargestDirectory = 256 << 20;
constexpr std::size_t kChunk = 64 << 10;

constexpr uint16_t kEncrypted = 1 << 0;
constexpr uint16_t kSizesAfterData = 1 << 3;
constexpr uint16_t kUtf8Name = 1 << 11;

uint16_t Get16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | at[1] << 8);
}
uint32_t Get32(const uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}
uint64_t Get64(const uint8_t* at) {
  return Get32(at) | static_cast<uint64_t>(Get32(at + 4)) << 32;
}

std::optional<Codec> CodecOf(uint16_t method) {
  switch (method) {
    case 0: return Codec::kStored;
    case 8: return Codec::kDeflate;
    case 12: return Codec::kBzip2;
    case 14: return Codec::kZipLzma;
    case 95: return Codec::kXz;
    default: return std::nullopt;
  }
}

std::string MethodName(uint16_t method) {
  switch (method) {
    case 1: return "shrink";
    case 2:
    case 3:
    case 4:
    case 5: return "reduce";
    case 6: return "implode";
    case 9: return "deflate64";
    case 10: return "PKWARE DCL implode";
    case 18: return "IBM TERSE";
    case 19: return "IBM LZ77";
    case 93: return "zstd";
    case 96: return "JPEG";
    case 97: return "WavPack";
    case 98: return "PPMd";
    default: return "method " + std::to_string(method);
  }
}

struct Entry {
  std::string Name;  // UTF-8
  uint16_t Flags = 0, Method = 0;
  uint32_t Crc = 0;
  uint64_t CompressedSize = 0, Size = 0, LocalOffset = 0;
  bool Zip64 = false;      // the sizes after the data are 8 bytes each
  bool Regular = true;     // a file, not a folder, a link or a device
  bool SizesKnown = true;  // false: a local header whose sizes follow the data
};

// Names without the UTF-8 flag are code page 437, as the DOS tools that made them wrote them.
// Info-ZIP's Unicode path field wins where it still matches the name it was made for.
std::string DecodeName(std::span<const uint8_t> raw, uint16_t flags,
                       std::span<const uint8_t> extra) {
  const std::string_view bytes(reinterpret_cast<const char*>(raw.data()), raw.size());
  for (std::size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t id = Get16(&extra[at]), size = Get16(&extra[at + 2]);
    if (at + 4 + size > extra.size()) break;
    if (id == 0x7075 && size > 5 && extra[at + 4] == 1 &&
        Get32(&extra[at + 5]) == libdeflate_crc32(0, raw.data(), raw.size())) {
      const std::string_view name(reinterpret_cast<const char*>(&extra[at + 9]), size - 5);
      if (IsUtf8(name)) return std::string(name);
    }
    at += 4 + size;
  }
  if ((flags & kUtf8Name) && IsUtf8(bytes)) return std::string(bytes);
  return Cp437ToUtf8(bytes);
}

// Sizes and offsets too large for their fields stand in the ZIP64 field, in this order, each
// only where its field holds all ones.
void ApplyZip64(Entry& entry, std::span<const uint8_t> extra, bool offset_too) {
  for (std::size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t id = Get16(&extra[at]), size = Get16(&extra[at + 2]);
    if (at + 4 + size > extra.size()) return;
    if (id == 0x0001) {
      entry.Zip64 = true;
      std::size_t field = at + 4;
      const std::size_t end = at + 4 + size;
      auto take = [&](uint64_t& value) {
        if (value != 0xFFFFFFFF || field + 8 > end) return;
        value = Get64(&extra[field]);
        field += 8;
      };
      take(entry.Size);
      take(entry.CompressedSize);
      if (offset_too) take(entry.LocalOffset);
      return;
    }
    at += 4 + size;
  }
}

bool IsFolderName(std::string_view name) {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

// A folder or a symbolic link by the attributes of the system that made it. Anything else with
// data is a file, whatever it was where it came from (zip reading a pipe records a FIFO).
bool IsRegular(uint16_t made_by, uint32_t attributes, std::string_view name) {
  if (IsFolderName(name)) return false;
  const unsigned system = made_by >> 8;
  if (system == 0 && (attributes & 0x10)) return false;  // MS-DOS folder
  if (system == 3) {                                     // Unix: the mode in the high half
    const uint32_t type = (attributes >> 16) & 0170000;
    return type != 0040000 && type != 0120000;
  }
  return true;
}

struct Directory {
  std::vector<Entry> Entries;
  bool Found = false;   // the end record and a directory that holds together
  std::string Problem;  // why a directory that is there was not used
  bool Split = false;   // a volume of a set spread over several disks
};

// Finds the end record in the last bytes, and the directory it points to.
Directory ReadDirectory(const PackSource& source) {
  Directory directory;
  const uint64_t tail_size = std::min<uint64_t>(source.Size, kEndRecordSize + kLongestComment);
  if (tail_size < kEndRecordSize) return directory;
  std::vector<uint8_t> tail(tail_size);
  const uint64_t tail_at = source.Size - tail_size;
  if (ReadSource(source, tail_at, tail.data(), tail.size()) != tail.size()) return directory;
  std::size_t end = tail.size() - kEndRecordSize + 1;
  std::optional<std::size_t> record;
  while (end-- > 0) {
    if (Get32(&tail[end]) == kEndRecord &&
        end + kEndRecordSize + Get16(&tail[end + 20]) <= tail.size()) {
      record = end;
      break;
    }
  }
  if (!record) return directory;
  const uint8_t* eocd = &tail[*record];
  const uint64_t record_at = tail_at + *record;
  uint64_t count = Get16(eocd + 10), size = Get32(eocd + 12), offset = Get32(eocd + 16);
  if (Get16(eocd + 4) != 0 || Get16(eocd + 6) != 0) {
    directory.Split = true;
    return directory;
  }
  // A ZIP64 end record, when there is one, stands between the directory and the end record.
  uint64_t directory_end = record_at;
  std::array<uint8_t, 20> locator;
  std::array<uint8_t, 56> record64;
  if (record_at >= locator.size() &&
      ReadSource(source, record_at - locator.size(), locator.data(), locator.size()) ==
          locator.size() &&
      Get32(locator.data()) == kEndLocator64 && Get64(&locator[8]) < record_at &&
      ReadSource(source, Get64(&locator[8]), record64.data(), record64.size()) == record64.size() &&
      Get32(record64.data()) == kEndRecord64) {
    directory_end = Get64(&locator[8]);
    if (count == 0xFFFF) count = Get64(&record64[32]);
    if (size == 0xFFFFFFFF) size = Get64(&record64[40]);
    if (offset == 0xFFFFFFFF) offset = Get64(&record64[48]);
  }
  if (size > directory_end || size > kLargestDirectory || count > size / kCentralHeaderSize) {
    directory.Problem = "its central directory does not fit the pack";
    return directory;
  }
  // Bytes in front of the pack (a self-extracting program) move every offset by as much.
  const uint64_t shift = directory_end - size - std::min(offset, directory_end - size);
  std::vector<uint8_t> bytes(size);
  if (ReadSource(source, directory_end - size, bytes.data(), bytes.size()) != bytes.size()) {
    directory.Problem = "its central directory cannot be read";
    return directory;
  }
  std::size_t at = 0;
  for (uint64_t i = 0; i < count; ++i) {
    if (at + kCentralHeaderSize > bytes.size() || Get32(&bytes[at]) != kCentralHeader) {
      directory.Problem = "its central directory ends after " + std::to_string(i) + " of " +
                          std::to_string(count) + " members";
      directory.Entries.clear();
      return directory;
    }
    const uint8_t* header = &bytes[at];
    const std::size_t name_size = Get16(header + 28), extra_size = Get16(header + 30),
                      comment_size = Get16(header + 32);
    if (at + kCentralHeaderSize + name_size + extra_size + comment_size > bytes.size()) {
      directory.Problem = "a member of its central directory runs past its end";
      directory.Entries.clear();
      return directory;
    }
    const std::span<const uint8_t> name(header + kCentralHeaderSize, name_size);
    const std::span<const uint8_t> extra(name.data() + name_size, extra_size);
    Entry entry;
    entry.Flags = Get16(header + 8);
    entry.Method = Get16(header + 10);
    entry.Crc = Get32(header + 16);
    entry.CompressedSize = Get32(header + 20);
    entry.Size = Get32(header + 24);
    entry.LocalOffset = Get32(header + 42);
    ApplyZip64(entry, extra, true);
    entry.LocalOffset += shift;
    entry.Name = DecodeName(name, entry.Flags, extra);
    entry.Regular = IsRegular(Get16(header + 4), Get32(header + 38), entry.Name);
    directory.Entries.push_back(std::move(entry));
    at += kCentralHeaderSize + name_size + extra_size + comment_size;
  }
  directory.Found = true;
  return directory;
}

struct InflaterDeleter {
  void operator()(libdeflate_decompressor* inflater) const {
    libdeflate_free_decompressor(inflater);
  }
};

// A growable buffer that is never cleared: every byte of it is written before it is read.
struct Buffer {
  std::unique_ptr<uint8_t[]> Bytes;
  std::size_t Capacity = 0;

  uint8_t* Reserve(std::size_t size) {
    if (size > Capacity) {
      Capacity = std::max(size, Capacity * 2);
      Bytes = std::make_unique_for_overwrite<uint8_t[]>(Capacity);
    }
    return Bytes.get();
  }
};

// The reading of one pack: where it comes from, what it may spend, whom it tells.
struct ZipReader {
  const PackSource& Source;
  PackBudget& Budget;
  const PackVisitor& Visitor;
  std::unique_ptr<libdeflate_decompressor, InflaterDeleter> Inflater{
      libdeflate_alloc_decompressor()};
  Buffer Packed, Expanded;
};

// What became of a member's data, for a walk over the local headers that must find the next one.
struct DataEnd {
  bool Known = false;  // Taken is where the data ended
  uint64_t Taken = 0;  // compressed bytes, and the sizes after them when there are any
};

void CheckCrc(const Entry& entry, uint32_t crc, uint64_t size) {
  if (entry.SizesKnown && size != entry.Size)
    throw PackError("damaged: expands to " + std::to_string(size) + " bytes, not " +
                    std::to_string(entry.Size));
  if (crc != entry.Crc) throw PackError("damaged: CRC mismatch");
}

// Reads the sizes that follow the data of a member whose local header left them out.
uint64_t ReadDescriptor(ZipReader& reader, Entry& entry, uint64_t at) {
  std::array<uint8_t, 24> bytes{};
  const std::size_t got = ReadSource(reader.Source, at, bytes.data(), bytes.size());
  const std::size_t sign = got >= 4 && Get32(bytes.data()) == kDescriptor ? 4 : 0;
  const std::size_t size = sign + (entry.Zip64 ? 20 : 12);
  if (got < size) throw PackError("damaged: the sizes after its data are cut off");
  entry.Crc = Get32(&bytes[sign]);
  entry.CompressedSize = entry.Zip64 ? Get64(&bytes[sign + 4]) : Get32(&bytes[sign + 4]);
  entry.Size = entry.Zip64 ? Get64(&bytes[sign + 12]) : Get32(&bytes[sign + 8]);
  entry.SizesKnown = true;
  return size;
}

// The member expanded whole in memory: stored bytes as they lie, deflate through libdeflate.
// Empty when it is not of that kind, and the member streams instead.
std::optional<std::span<const uint8_t>> ExpandWhole(ZipReader& reader, const Entry& entry,
                                                    uint64_t data) {
  if (!entry.SizesKnown || entry.Size > kHoldLimit || (entry.Method != 0 && entry.Method != 8) ||
      entry.CompressedSize > kHoldLimit + kChunk ||
      data + entry.CompressedSize > reader.Source.Size)
    return std::nullopt;
  Spend(reader.Budget, entry.Size);
  std::span<const uint8_t> packed;
  if (reader.Source.File == nullptr) {
    packed = reader.Source.Bytes.subspan(data, entry.CompressedSize);
  } else {
    uint8_t* into = reader.Packed.Reserve(entry.CompressedSize);
    if (ReadSource(reader.Source, data, into, entry.CompressedSize) != entry.CompressedSize)
      throw PackError("damaged: its data is cut off");
    packed = {into, entry.CompressedSize};
  }
  std::span<const uint8_t> expanded = packed;
  if (entry.Method == 8) {
    uint8_t* into = reader.Expanded.Reserve(std::max<uint64_t>(entry.Size, 1));
    std::size_t size = 0;
    const libdeflate_result result = libdeflate_deflate_decompress(
        reader.Inflater.get(), packed.data(), packed.size(), into, entry.Size, &size);
    if (result == LIBDEFLATE_BAD_DATA) throw PackError("damaged: bad deflate data");
    if (result != LIBDEFLATE_SUCCESS)
      throw PackError("damaged: does not expand to its recorded size of " +
                      std::to_string(entry.Size) + " bytes");
    expanded = {into, size};
  } else if (entry.CompressedSize != entry.Size) {
    throw PackError("damaged: a stored member whose two sizes differ");
  }
  CheckCrc(entry, libdeflate_crc32(0, expanded.data(), expanded.size()), expanded.size());
  return expanded;
}

// Streams a member through its decompressor, a chunk at a time, to the visitor, which reads it
// to its end or to its first fault and makes the member's row of either. Throws only when the
// budget is spent.
DataEnd StreamMember(ZipReader& reader, Entry& entry, uint64_t data, Codec codec) {
  StreamDecoder decoder(codec, entry.SizesKnown ? entry.Size : 0);
  uint64_t packed_at = data;
  uint64_t packed_left = entry.SizesKnown ? entry.CompressedSize : reader.Source.Size - data;
  uint64_t produced = 0;
  uint32_t crc = 0;
  std::span<const uint8_t> input;
  uint8_t* output = reader.Expanded.Reserve(kChunk);
  uint8_t* staging = reader.Packed.Reserve(kChunk);
  DataEnd end;

  auto next = [&]() -> std::span<const uint8_t> {
    for (;;) {
      if (input.empty() && packed_left > 0) {
        const std::size_t want = static_cast<std::size_t>(
            std::min({packed_left, uint64_t{kChunk},
                      reader.Source.Size - std::min(packed_at, reader.Source.Size)}));
        if (want == 0) {
          input = {};
        } else if (reader.Source.File == nullptr) {
          input = reader.Source.Bytes.subspan(packed_at, want);
        } else {
          input = {staging, ReadSource(reader.Source, packed_at, staging, want)};
        }
        if (input.empty()) throw PackError("damaged: its data is cut off");
      }
      const bool no_more_input = input.empty();
      const DecodeStep step = Decode(decoder, input, {output, kChunk});
      input = input.subspan(step.Consumed);
      packed_at += step.Consumed;
      packed_left -= step.Consumed;
      if (step.Produced > 0) {
        Spend(reader.Budget, step.Produced);
        crc = libdeflate_crc32(crc, output, step.Produced);
        produced += step.Produced;
        if (entry.SizesKnown && produced > entry.Size)
          throw PackError("damaged: expands past its recorded size of " +
                          std::to_string(entry.Size) + " bytes");
        return {output, step.Produced};
      }
      // LZMA without an end mark ends at its recorded size.
      if (decoder.Ended || (codec == Codec::kStored && packed_left == 0) ||
          (codec == Codec::kZipLzma && entry.SizesKnown && produced == entry.Size &&
           !(entry.Flags & 2))) {
        end.Taken = packed_at - data;
        if (!entry.SizesKnown) end.Taken += ReadDescriptor(reader, entry, packed_at);
        end.Known = true;
        CheckCrc(entry, crc, produced);
        return {};
      }
      if (no_more_input && step.Consumed == 0) throw PackError("damaged: its data is cut off");
    }
  };
  StreamState state;
  MemberBytes bytes = StreamedMember(next, entry.SizesKnown ? entry.Size : 0, state);
  if (!entry.SizesKnown && codec == Codec::kStored) {
    // Only a codec that ends by itself tells where such a member's data ends.
    reader.Visitor.Error(entry.Name, "unsupported: a stored member of unknown size");
    return end;
  }
  reader.Visitor.File(entry.Name, bytes);
  // The visitor reads every member to its end; what it left is read here only to find that end.
  try {
    while (!bytes.Next().empty()) {
    }
  } catch (const Fault&) {
  }
  if (state.Failure) end.Known = false;
  return end;
}

// Hands one member to the visitor, as a row or as an error, and tells where its data ended.
DataEnd VisitMember(ZipReader& reader, Entry& entry, uint64_t data) {
  const std::optional<Codec> codec = CodecOf(entry.Method);
  std::string problem;
  if (entry.Flags & kEncrypted || entry.Method == 99) {
    problem = "unsupported: encrypted member";
  } else if (!codec) {
    problem = "unsupported method: " + MethodName(entry.Method);
  }
  if (!problem.empty()) {
    reader.Visitor.Error(entry.Name, problem);
    return {entry.SizesKnown, entry.CompressedSize};
  }
  std::optional<std::span<const uint8_t>> whole;
  try {
    whole = ExpandWhole(reader, entry, data);
  } catch (const Fault& fault) {
    reader.Visitor.Error(entry.Name, fault.Message);
    return {entry.SizesKnown && !reader.Budget.Reached, entry.CompressedSize};
  }
  if (!whole) return StreamMember(reader, entry, data, *codec);
  MemberBytes bytes;
  bytes.Whole = *whole;
  bytes.IsWhole = true;
  bytes.Size = whole->size();
  reader.Visitor.File(entry.Name, bytes);
  return {true, entry.CompressedSize};
}

struct LocalHeader {
  Entry Member;
  uint64_t Data = 0;  // where its data begins
};

// The local header at `at`, or nothing when there is none there.
std::optional<LocalHeader> ReadLocalHeader(const PackSource& source, uint64_t at) {
  std::array<uint8_t, kLocalHeaderSize> fixed;
  if (ReadSource(source, at, fixed.data(), fixed.size()) != fixed.size() ||
      Get32(fixed.data()) != kLocalHeader)
    return std::nullopt;
  const std::size_t name_size = Get16(&fixed[26]), extra_size = Get16(&fixed[28]);
  std::vector<uint8_t> rest(name_size + extra_size);
  if (ReadSource(source, at + kLocalHeaderSize, rest.data(), rest.size()) != rest.size())
    return std::nullopt;
  LocalHeader header;
  Entry& entry = header.Member;
  entry.Flags = Get16(&fixed[6]);
  entry.Method = Get16(&fixed[8]);
  entry.Crc = Get32(&fixed[14]);
  entry.CompressedSize = Get32(&fixed[18]);
  entry.Size = Get32(&fixed[22]);
  const std::span<const uint8_t> name(rest.data(), name_size),
      extra(rest.data() + name_size, extra_size);
  ApplyZip64(entry, extra, false);
  entry.Name = DecodeName(name, entry.Flags, extra);
  entry.Regular = !IsFolderName(entry.Name);
  entry.SizesKnown = !(entry.Flags & kSizesAfterData);
  header.Data = at + kLocalHeaderSize + name_size + extra_size;
  return header;
}

// Where the next local header begins, at or after `from`; nothing when no other is there.
std::optional<uint64_t> FindLocalHeader(const PackSource& source, uint64_t from) {
  std::vector<uint8_t> window(kChunk + 3);
  for (uint64_t at = from; at < source.Size; at += kChunk) {
    const std::size_t got = ReadSource(source, at, window.data(), window.size());
    for (std::size_t i = 0; i + 4 <= got; ++i) {
      if (Get32(&window[i]) == kLocalHeader && ReadLocalHeader(source, at + i)) return at + i;
    }
  }
  return std::nullopt;
}

// The walk of a pack without a usable directory: member after member from the local headers.
// A member whose data's end cannot be told is passed by looking for the next header.
void WalkLocalHeaders(ZipReader& reader) {
  std::array<uint8_t, 4> start{};
  ReadSource(reader.Source, 0, start.data(), start.size());
  uint64_t at = std::memcmp(start.data(), "PK00", 4) == 0 ? 4 : 0;
  while (at < reader.Source.Size && !reader.Budget.Reached) {
    std::optional<LocalHeader> header = ReadLocalHeader(reader.Source, at);
    if (!header) {
      std::optional<uint64_t> next = FindLocalHeader(reader.Source, at + 1);
      if (!next) return;
      at = *next;
      continue;
    }
    Entry& entry = header->Member;
    if (!entry.Regular) {
      // A folder has no data; only its sizes may follow.
      uint64_t skip = entry.CompressedSize;
      if (!entry.SizesKnown) {
        try {
          skip = ReadDescriptor(reader, entry, header->Data);
        } catch (const Fault&) {
          skip = 0;
        }
      }
      at = header->Data + skip;
      continue;
    }
    const DataEnd end = VisitMember(reader, entry, header->Data);
    if (!end.Known) {
      std::optional<uint64_t> next = FindLocalHeader(reader.Source, header->Data);
      if (!next) return;
      at = *next;
      continue;
    }
    at = header->Data + end.Taken;
  }
}

}  // namespace

PackOutcome ReadZip(const PackSource& source, PackBudget& budget, const PackVisitor& visitor) {
  ZipReader reader{
      source,
      budget,
      visitor,
      std::unique_ptr<libdeflate_decompressor, InflaterDeleter>(libdeflate_alloc_decompressor()),
      {},
      {}};
  if (!reader.Inflater) throw std::bad_alloc();
  PackOutcome outcome;
  Directory directory = ReadDirectory(source);
  if (directory.Split) {
    outcome.Error = "unsupported: a volume of a multi-volume set";
    return outcome;
  }
  if (!directory.Found) {
    outcome.Error =
        "recovered: " +
        (directory.Problem.empty() ? std::string("no central directory") : directory.Problem) +
        "; members read from their local headers";
    WalkLocalHeaders(reader);
  } else {
    for (Entry& entry : directory.Entries) {
      if (budget.Reached) break;
      if (!entry.Regular) continue;
      std::optional<LocalHeader> local = ReadLocalHeader(source, entry.LocalOffset);
      if (!local) {
        visitor.Error(entry.Name, "damaged: no member header where the directory puts it");
        continue;
      }
      VisitMember(reader, entry, local->Data);
    }
  }
  if (budget.Reached) AddProblem(outcome, budget.Reason);
  return outcome;
}

}  // namespace tintrel
