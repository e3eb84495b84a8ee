// SPDX-License-Identifier: MIT
#include "packs/seven_zip_windows.h"

#include <lzma.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace tintrel {

namespace {

constexpr std::size_t kSignatureHeaderSize = 32;
// A header larger than this is left for libarchive to judge: real ones are kilobytes.
constexpr uint64_t kLargestHeader = 16 << 20;

enum Property : uint8_t {
  kEnd = 0x00,
  kHeader = 0x01,
  kArchiveProperties = 0x02,
  kAdditionalStreamsInfo = 0x03,
  kMainStreamsInfo = 0x04,
  kPackInfo = 0x06,
  kUnpackInfo = 0x07,
  kSize = 0x09,
  kCrc = 0x0a,
  kFolder = 0x0b,
  kCodersUnpackSize = 0x0c,
  kEncodedHeader = 0x17,
};

struct Coder {
  std::vector<uint8_t> Id, Properties;
  uint64_t Outputs = 1;
  uint64_t UnpackSize = 0;  // of its first output
};

struct Folder {
  std::vector<Coder> Coders;
};

struct StreamsInfo {
  uint64_t PackPosition = 0;
  std::vector<uint64_t> PackSizes;
  std::vector<Folder> Folders;
};

struct HeaderError {};

// The 7z header's bytes, read front to back; running past the end is an error.
struct Reader {
  std::span<const uint8_t> Bytes;
  std::size_t At = 0;

  uint8_t Byte() {
    if (At >= Bytes.size()) throw HeaderError{};
    return Bytes[At++];
  }
  // The first byte's high bits count the bytes that follow; its low bits are the top of the value.
  uint64_t Number() {
    const uint8_t first = Byte();
    uint64_t value = 0;
    for (int i = 0, mask = 0x80; i < 8; ++i, mask >>= 1) {
      if ((first & mask) == 0) return value | static_cast<uint64_t>(first & (mask - 1)) << (8 * i);
      value |= static_cast<uint64_t>(Byte()) << (8 * i);
    }
    return value;
  }
  std::span<const uint8_t> Take(uint64_t size) {
    if (size > Bytes.size() - At) throw HeaderError{};
    const auto taken = Bytes.subspan(At, static_cast<std::size_t>(size));
    At += static_cast<std::size_t>(size);
    return taken;
  }
  void SkipDigests(uint64_t count) {
    uint64_t defined = count;
    if (Byte() == 0) {
      const auto bits = Take((count + 7) / 8);
      defined = 0;
      for (uint64_t i = 0; i < count; ++i) defined += (bits[i / 8] >> (7 - i % 8)) & 1;
    }
    Take(4 * defined);
  }
};

Folder ReadFolder(Reader& in) {
  Folder folder;
  uint64_t inputs = 0, outputs = 0;
  const uint64_t coders = in.Number();
  if (coders == 0 || coders > 64) throw HeaderError{};
  for (uint64_t i = 0; i < coders; ++i) {
    const uint8_t flags = in.Byte();
    Coder coder;
    const auto id = in.Take(flags & 0x0f);
    coder.Id.assign(id.begin(), id.end());
    uint64_t coder_inputs = 1;
    if (flags & 0x10) {
      coder_inputs = in.Number();
      coder.Outputs = in.Number();
    }
    if (flags & 0x20) {
      const auto properties = in.Take(in.Number());
      coder.Properties.assign(properties.begin(), properties.end());
    }
    if (coder_inputs > 64 || coder.Outputs > 64) throw HeaderError{};
    inputs += coder_inputs;
    outputs += coder.Outputs;
    folder.Coders.push_back(std::move(coder));
  }
  for (uint64_t pair = 0; pair + 1 < outputs; ++pair) {
    in.Number();
    in.Number();
  }
  const uint64_t packed = inputs - (outputs - 1);
  if (packed > 1) {
    for (uint64_t i = 0; i < packed; ++i) in.Number();
  }
  return folder;
}

StreamsInfo ReadStreamsInfo(Reader& in) {
  StreamsInfo info;
  for (uint8_t property = in.Byte(); property != kEnd; property = in.Byte()) {
    if (property == kPackInfo) {
      info.PackPosition = in.Number();
      const uint64_t count = in.Number();
      if (count > in.Bytes.size()) throw HeaderError{};
      for (uint8_t inner = in.Byte(); inner != kEnd; inner = in.Byte()) {
        if (inner == kSize) {
          for (uint64_t i = 0; i < count; ++i) info.PackSizes.push_back(in.Number());
        } else if (inner == kCrc) {
          in.SkipDigests(count);
        } else {
          in.Take(in.Number());
        }
      }
    } else if (property == kUnpackInfo) {
      if (in.Byte() != kFolder) throw HeaderError{};
      const uint64_t count = in.Number();
      if (count > in.Bytes.size() || in.Byte() != 0) throw HeaderError{};
      for (uint64_t i = 0; i < count; ++i) info.Folders.push_back(ReadFolder(in));
      if (in.Byte() != kCodersUnpackSize) throw HeaderError{};
      // The sizes of every coder's outputs, in the coders' order.
      for (Folder& folder : info.Folders) {
        for (Coder& coder : folder.Coders) {
          for (uint64_t i = 0; i < coder.Outputs; ++i) {
            const uint64_t size = in.Number();
            if (i == 0) coder.UnpackSize = size;
          }
        }
      }
      for (uint8_t inner = in.Byte(); inner != kEnd; inner = in.Byte()) {
        if (inner == kCrc) {
          in.SkipDigests(info.Folders.size());
        } else {
          in.Take(in.Number());
        }
      }
    } else {
      return info;  // the substreams: nothing in them asks for memory
    }
  }
  return info;
}

// Memory the coder asks for, and what it is called. libarchive allocates the window the
// properties name whole, however little the coder unpacks; 7-Zip names no larger one than that.
std::optional<std::pair<uint64_t, const char*>> Wants(const Coder& coder) {
  const auto& id = coder.Id;
  const auto& p = coder.Properties;
  const auto little_endian = [&] {
    return p[1] | p[2] << 8 | p[3] << 16 | static_cast<uint64_t>(p[4]) << 24;
  };
  if (id == std::vector<uint8_t>{0x03, 0x01, 0x01} && p.size() >= 5)
    return std::pair{little_endian(), "an LZMA window"};
  if (id == std::vector<uint8_t>{0x21} && p.size() >= 1 && p[0] <= 40) {
    const uint64_t window = p[0] == 40 ? 0xffffffff : (2ull | (p[0] & 1)) << (p[0] / 2 + 11);
    return std::pair{window, "an LZMA2 window"};
  }
  if (id == std::vector<uint8_t>{0x03, 0x04, 0x01} && p.size() >= 5)
    return std::pair{little_endian(), "a PPMd model"};
  return std::nullopt;
}

std::string Problem(const std::vector<Folder>& folders) {
  for (const Folder& folder : folders) {
    for (const Coder& coder : folder.Coders) {
      const auto wants = Wants(coder);
      if (wants && wants->first > kLargestSevenZipWindow)
        return std::string("unsupported: ") + wants->second + " of " +
               std::to_string(wants->first) + " bytes";
    }
  }
  return "";
}

// The header an encoded header packs: one folder of LZMA, checked against the limit itself.
std::vector<uint8_t> Unpack(const PackSource& source, const StreamsInfo& info) {
  if (info.Folders.size() != 1 || info.PackSizes.empty()) throw HeaderError{};
  const Folder& folder = info.Folders[0];
  const Coder& coder = folder.Coders[0];
  if (folder.Coders.size() != 1 || coder.Id != std::vector<uint8_t>{0x03, 0x01, 0x01} ||
      coder.UnpackSize > kLargestHeader || info.PackSizes[0] > kLargestHeader ||
      !Problem(info.Folders).empty())
    throw HeaderError{};
  std::vector<uint8_t> packed(static_cast<std::size_t>(info.PackSizes[0]));
  if (ReadSource(source, kSignatureHeaderSize + info.PackPosition, packed.data(), packed.size()) !=
      packed.size())
    throw HeaderError{};
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&filters[0], nullptr, coder.Properties.data(),
                             coder.Properties.size()) != LZMA_OK)
    throw HeaderError{};
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  options->dict_size = static_cast<uint32_t>(
      std::clamp<uint64_t>(coder.UnpackSize, LZMA_DICT_SIZE_MIN, options->dict_size));
  lzma_stream stream = LZMA_STREAM_INIT;
  const lzma_ret started = lzma_raw_decoder(&stream, filters);
  free(filters[0].options);
  if (started != LZMA_OK) throw HeaderError{};
  std::vector<uint8_t> header(static_cast<std::size_t>(coder.UnpackSize));
  stream.next_in = packed.data();
  stream.avail_in = packed.size();
  stream.next_out = header.data();
  stream.avail_out = header.size();
  const lzma_ret ended = lzma_code(&stream, LZMA_RUN);
  lzma_end(&stream);
  if ((ended != LZMA_OK && ended != LZMA_STREAM_END) || stream.avail_out != 0) throw HeaderError{};
  return header;
}

}  // namespace

// A header this reader cannot follow may still be one libarchive follows, to a window of any
// size: such a pack is refused rather than believed.
constexpr const char* kUnchecked = "unsupported: a 7z header whose windows cannot be checked";

std::string SevenZipWindowProblem(const PackSource& source) {
  try {
    std::array<uint8_t, kSignatureHeaderSize> start;
    if (ReadSource(source, 0, start.data(), start.size()) != start.size()) return kUnchecked;
    uint64_t offset = 0, size = 0;
    for (int i = 7; i >= 0; --i) {
      offset = offset << 8 | start[12 + i];
      size = size << 8 | start[20 + i];
    }
    if (size == 0) return "";  // an empty pack: no streams, no windows
    if (size > kLargestHeader || offset > source.Size ||
        kSignatureHeaderSize + offset + size > source.Size)
      return kUnchecked;
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    if (ReadSource(source, kSignatureHeaderSize + offset, bytes.data(), bytes.size()) != size)
      return kUnchecked;
    for (int encodings = 0; encodings < 4; ++encodings) {
      Reader in{bytes};
      const uint8_t kind = in.Byte();
      if (kind == kEncodedHeader) {
        const StreamsInfo packed = ReadStreamsInfo(in);
        if (std::string problem = Problem(packed.Folders); !problem.empty()) return problem;
        bytes = Unpack(source, packed);
        continue;
      }
      if (kind != kHeader) return kUnchecked;
      uint8_t property = in.Byte();
      if (property == kArchiveProperties) {
        for (uint8_t type = in.Byte(); type != kEnd; type = in.Byte()) in.Take(in.Number());
        property = in.Byte();
      }
      if (property == kAdditionalStreamsInfo) {
        if (std::string problem = Problem(ReadStreamsInfo(in).Folders); !problem.empty())
          return problem;
        property = in.Byte();
      }
      if (property != kMainStreamsInfo) return "";
      return Problem(ReadStreamsInfo(in).Folders);
    }
  } catch (const HeaderError&) {
  } catch (const Fault&) {
  }
  return kUnchecked;
}

}  // namespace tintrel
