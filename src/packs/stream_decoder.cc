// SPDX-License-Identifier: MIT
#include "packs/stream_decoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "packs/pack_source.h"

namespace tintrel {

namespace {

constexpr unsigned kUint = ~0u;
// The largest LZMA window a member may ask for: what the largest presets of xz and 7-Zip use.
constexpr uint64_t kLargestWindow = 64 << 20;

unsigned Clamp(std::size_t size) {
  return static_cast<unsigned>(std::min<std::size_t>(size, kUint));
}

[[noreturn]] void Damaged(const std::string& what) {
  throw PackError("damaged: " + what);
}

void Start(StreamDecoder& decoder) {
  switch (decoder.Kind) {
    case Codec::kStored: break;
    case Codec::kDeflate:
      if (inflateInit2(&decoder.Zlib, -MAX_WBITS) != Z_OK) Damaged("cannot start inflate");
      break;
    case Codec::kBzip2:
      if (BZ2_bzDecompressInit(&decoder.Bzip2, 0, 0) != BZ_OK) Damaged("cannot start bzip2");
      break;
    case Codec::kXz:
      if (lzma_stream_decoder(&decoder.Lzma, kLargestWindow + (1 << 20), 0) != LZMA_OK)
        Damaged("cannot start xz");
      break;
    case Codec::kZipLzma: {
      // Two version bytes, the size of the properties, the properties: then raw LZMA1.
      const uint16_t props =
          static_cast<uint16_t>(decoder.LzmaHeader[2] | decoder.LzmaHeader[3] << 8);
      lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
      if (props != kLzmaPropertiesSize ||
          lzma_properties_decode(&filters[0], nullptr, decoder.LzmaHeader.data() + 4, props) !=
              LZMA_OK)
        Damaged("bad LZMA properties");
      // The window is allocated whole, however large the properties say: a member can refer no
      // further back than its own size, and none may ask for more than the limit.
      auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
      const uint64_t wanted = options->dict_size;
      if (decoder.Size != 0)
        options->dict_size = static_cast<uint32_t>(
            std::clamp<uint64_t>(decoder.Size, LZMA_DICT_SIZE_MIN, options->dict_size));
      const bool too_large = options->dict_size > kLargestWindow;
      const lzma_ret started =
          too_large ? LZMA_MEMLIMIT_ERROR : lzma_raw_decoder(&decoder.Lzma, filters);
      free(filters[0].options);
      if (too_large)
        throw PackError("unsupported: an LZMA window of " + std::to_string(wanted) + " bytes");
      if (started != LZMA_OK) Damaged("cannot start LZMA");
      break;
    }
  }
  decoder.Started = true;
}

DecodeStep DecodeZlib(StreamDecoder& decoder, std::span<const uint8_t> in, std::span<uint8_t> out) {
  z_stream& z = decoder.Zlib;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = Clamp(in.size());
  z.next_out = out.data();
  z.avail_out = Clamp(out.size());
  const int result = inflate(&z, Z_NO_FLUSH);
  if (result == Z_STREAM_END) {
    decoder.Ended = true;
  } else if (result != Z_OK && result != Z_BUF_ERROR) {
    Damaged(std::string("bad deflate data") + (z.msg ? std::string(" (") + z.msg + ")" : ""));
  }
  return {Clamp(in.size()) - z.avail_in, Clamp(out.size()) - z.avail_out};
}

DecodeStep DecodeBzip2(StreamDecoder& decoder, std::span<const uint8_t> in,
                       std::span<uint8_t> out) {
  bz_stream& bz = decoder.Bzip2;
  bz.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(in.data()));
  bz.avail_in = Clamp(in.size());
  bz.next_out = reinterpret_cast<char*>(out.data());
  bz.avail_out = Clamp(out.size());
  const int result = BZ2_bzDecompress(&bz);
  if (result == BZ_STREAM_END) {
    decoder.Ended = true;
  } else if (result != BZ_OK) {
    Damaged("bad bzip2 data (" + std::to_string(result) + ")");
  }
  return {Clamp(in.size()) - bz.avail_in, Clamp(out.size()) - bz.avail_out};
}

DecodeStep DecodeLzma(StreamDecoder& decoder, std::span<const uint8_t> in, std::span<uint8_t> out) {
  lzma_stream& lz = decoder.Lzma;
  lz.next_in = in.data();
  lz.avail_in = in.size();
  lz.next_out = out.data();
  lz.avail_out = out.size();
  const lzma_ret result = lzma_code(&lz, LZMA_RUN);
  if (result == LZMA_STREAM_END) {
    decoder.Ended = true;
  } else if (result == LZMA_MEMLIMIT_ERROR) {
    throw PackError("unsupported: an xz window larger than " + std::to_string(kLargestWindow) +
                    " bytes");
  } else if (result != LZMA_OK && result != LZMA_BUF_ERROR) {
    Damaged("bad LZMA data (" + std::to_string(result) + ")");
  }
  return {in.size() - lz.avail_in, out.size() - lz.avail_out};
}

}  // namespace

StreamDecoder::StreamDecoder(Codec kind, uint64_t size) : Kind(kind), Size(size) {}

StreamDecoder::~StreamDecoder() {
  if (!Started) return;
  switch (Kind) {
    case Codec::kStored: break;
    case Codec::kDeflate: inflateEnd(&Zlib); break;
    case Codec::kBzip2: BZ2_bzDecompressEnd(&Bzip2); break;
    case Codec::kZipLzma:
    case Codec::kXz: lzma_end(&Lzma); break;
  }
}

DecodeStep Decode(StreamDecoder& decoder, std::span<const uint8_t> in, std::span<uint8_t> out) {
  DecodeStep step;
  if (decoder.Ended) return step;
  if (decoder.Kind == Codec::kStored) {
    step.Consumed = step.Produced = std::min(in.size(), out.size());
    if (step.Produced != 0) std::memcpy(out.data(), in.data(), step.Produced);
    return step;
  }
  if (decoder.Kind == Codec::kZipLzma && !decoder.Started) {
    // The framing may come split across reads; gather it first.
    std::size_t want = 4;
    if (decoder.LzmaHeaderSize >= 4)
      want += std::min<std::size_t>(decoder.LzmaHeader[2] | decoder.LzmaHeader[3] << 8,
                                    kLzmaPropertiesSize);
    while (decoder.LzmaHeaderSize < want && step.Consumed < in.size()) {
      decoder.LzmaHeader[decoder.LzmaHeaderSize++] = in[step.Consumed++];
      if (decoder.LzmaHeaderSize == 4)
        want += std::min<std::size_t>(decoder.LzmaHeader[2] | decoder.LzmaHeader[3] << 8,
                                      kLzmaPropertiesSize);
    }
    if (decoder.LzmaHeaderSize < want) return step;
    in = in.subspan(step.Consumed);
  }
  if (!decoder.Started) Start(decoder);
  DecodeStep taken;
  switch (decoder.Kind) {
    case Codec::kDeflate: taken = DecodeZlib(decoder, in, out); break;
    case Codec::kBzip2: taken = DecodeBzip2(decoder, in, out); break;
    default: taken = DecodeLzma(decoder, in, out); break;
  }
  return {step.Consumed + taken.Consumed, taken.Produced};
}

}  // namespace tintrel
