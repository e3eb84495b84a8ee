// SPDX-License-Identifier: MIT
// The decompressors a member streams through when it is too large to hold: zlib's raw inflate,
// bzip2, and LZMA in ZIP's framing (a version, the properties, then raw LZMA) or as an .xz
// stream. Each owns its library state and frees it.
#pragma once

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tintrel {

// LZMA's properties: the literal and position bits, then the dictionary size.
inline constexpr std::size_t kLzmaPropertiesSize = 5;

enum class Codec : uint8_t { kStored, kDeflate, kBzip2, kZipLzma, kXz };

struct StreamDecoder {
  Codec Kind = Codec::kStored;
  uint64_t Size = 0;  // the expanded size the pack gives, 0 when it gives none
  z_stream Zlib{};
  bz_stream Bzip2{};
  lzma_stream Lzma = LZMA_STREAM_INIT;
  bool Started = false;  // the library state exists
  bool Ended = false;    // the compressed stream said it was over
  // ZIP's LZMA framing: the 4 bytes in front of the properties, and the properties.
  std::array<uint8_t, 4 + kLzmaPropertiesSize> LzmaHeader{};
  std::size_t LzmaHeaderSize = 0;

  StreamDecoder(Codec kind, uint64_t size);
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;
  ~StreamDecoder();
};

struct DecodeStep {
  std::size_t Consumed = 0;  // input bytes taken
  std::size_t Produced = 0;  // output bytes written
};

// Takes what it can of `in` and writes what it can to `out`. Throws a PackError "damaged: ..."
// when the data is not a valid stream. Ended is set once the stream's end was read; a stored
// member never ends by itself.
DecodeStep Decode(StreamDecoder& decoder, std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace tintrel
