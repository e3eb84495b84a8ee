// SPDX-License-Identifier: MIT
// Recognition, first rule that holds wins:
//
//  step  what is looked at                         format
//  ----  ----------------------------------------  -----------------------------------------
//  1     "XBIN" and byte 26 at 0                   xbin
//  1     byte 24 and "TUNDRA24" at 0               tundra
//  1     byte 4 and "1.4" or "1.3" at 0, room for  idf
//        the header, a font and a palette, and
//        the 48 palette bytes at the end each < 64
//  1     byte 1 at 0, room for the 4,289 bytes of  adf
//        the header, an even count of cell
//        bytes, the 192 palette bytes each < 64
//  1     FF D8 FF; 89 "PNG" 0D 0A 1A 0A; "GIF87a"  image
//        or "GIF89a"; "BM" with an info header
//        of 12 to 124 bytes; "FORM" with "ILBM"
//        or "PBM "
//  1     "ID3"; two MPEG audio frames (Layer III)  audio
//        in a row; "RIFF" with "WAVE" or "RMID";
//        "MThd"; "OggS"; "fLaC"; "IMPM"; "SCRM"
//        at 44; "Extended Module: "; a module's
//        channel tag at 1080 ("M.K.", "M!K!",
//        "FLT4", "FLT8", "nCHN", "nnCH", "OKTA",
//        "CD81")
//  1     "MZ" with fewer than 512 bytes on its     executable
//        last page; 7F "ELF"
//  1     "%PDF-"; "{\rtf"                          document
//  1     "PK" 03 04; "Rar!" 1A 07; "7z" BC AF 27   data
//        1C; 1F 8B; other "RIFF"
//  2     a SAUCE record: Character with ASCII or   ascii
//        Source
//  2     Character with ANSi or ANSiMation         ansi
//  2     Character with RIP script                 ripscrip
//  2     Character with PCBoard                    pcboard
//  2     Character with Avatar                     avatar
//  2     Character with HTML                       document
//  2     Bitmap or Vector                          image
//  2     Audio                                     audio
//  2     BinaryText                                bin
//  2     Archive                                   data
//  2     Executable                                executable
//        (None, and a TundraDraw or XBin record on bytes without that header, decide nothing;
//        an ascii or ansi record says only that the file is text: step 3 may still find the
//        codes of pcboard, avatar or ripscrip in it)
//  3     the first 16 KiB of the art, up to the first byte 26:
//        a line that starts with "!|" and a letter or digit                 ripscrip
//        more "@X" and two hex digits than ESC "[" sequences                pcboard
//        more ^V ^A (Avatar's colour) than ESC "[" sequences                avatar
//        (pcboard and avatar tied: the extension, else pcboard)
//        an ESC "[" sequence                                                ansi
//        no code, and at least 1 byte in 8 a control byte other than tab,  bin for ".bin",
//        line feed, form feed, carriage return, ESC and 26                  else data
//        no code, and fewer control bytes                                   ansi for ".ans",
//                                                                           ".ice", ".cia",
//                                                                           pcboard for ".pcb",
//                                                                           avatar for ".avt",
//                                                                           else ascii
//  4     the extension breaks only the ties of step 3
//
// A NUL byte therefore makes no file a binary: only a SAUCE record saying so, or a share of
// control bytes no text has, does.
#include "formats/art_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "scan/byte_classes.h"
#include "simd/processor.h"

#if TINTREL_SSE2
#include <emmintrin.h>
#endif

namespace tintrel {

namespace {

using Bytes = std::span<const uint8_t>;

constexpr std::size_t kSampleSize = 16 * 1024;
constexpr std::size_t kAdfHeader = 1 + 192 + 4096;
constexpr std::size_t kIdfHeader = 12;
constexpr std::size_t kIdfTrailer = 4096 + 48;

bool At(Bytes bytes, std::size_t offset, std::string_view magic) {
  return bytes.size() >= offset + magic.size() &&
         std::memcmp(bytes.data() + offset, magic.data(), magic.size()) == 0;
}

bool AllSixBit(Bytes bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b < 64; });
}

unsigned Word(Bytes bytes, std::size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8;
}

// The length of the MPEG audio Layer III frame whose header is at `offset`; 0 when none is.
std::size_t Mp3FrameLength(Bytes bytes, std::size_t offset) {
  if (bytes.size() < offset + 4) return 0;
  const uint8_t* h = bytes.data() + offset;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
  const int version = (h[1] >> 3) & 3;  // 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
  const int layer = (h[1] >> 1) & 3;    // 1 Layer III
  const int rate_index = h[2] >> 4, sample_index = (h[2] >> 2) & 3;
  if (version == 1 || layer != 1 || rate_index == 0 || rate_index == 15 || sample_index == 3)
    return 0;
  static constexpr std::array<int, 15> kRatesV1 = {0,   32,  40,  48,  56,  64,  80, 96,
                                                   112, 128, 160, 192, 224, 256, 320};
  static constexpr std::array<int, 15> kRatesV2 = {0,  8,  16, 24,  32,  40,  48, 56,
                                                   64, 80, 96, 112, 128, 144, 160};
  static constexpr std::array<int, 3> kSamples = {44100, 48000, 32000};
  const int divisor = version == 3 ? 1 : version == 2 ? 2 : 4;
  const int samples = kSamples[sample_index] / divisor;
  const int kbits = version == 3 ? kRatesV1[rate_index] : kRatesV2[rate_index];
  const int per_frame = version == 3 ? 144000 : 72000;
  return static_cast<std::size_t>(per_frame * kbits / samples + ((h[2] >> 1) & 1));
}

bool IsMp3(Bytes bytes) {
  const std::size_t first = Mp3FrameLength(bytes, 0);
  return first != 0 && Mp3FrameLength(bytes, first) != 0;
}

bool IsModule(Bytes bytes) {
  if (bytes.size() < 1084) return false;
  const auto* tag = reinterpret_cast<const char*>(bytes.data() + 1080);
  const std::string_view name(tag, 4);
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return name == "M.K." || name == "M!K!" || name == "FLT4" || name == "FLT8" || name == "OKTA" ||
         name == "CD81" || (digit(tag[0]) && name.substr(1) == "CHN") ||
         (digit(tag[0]) && digit(tag[1]) && name.substr(2) == "CH");
}

bool IsBmp(Bytes bytes) {
  if (!At(bytes, 0, "BM") || bytes.size() < 18) return false;
  const unsigned info = Word(bytes, 14) | Word(bytes, 16) << 16;
  return info >= 12 && info <= 124;
}

bool IsExecutable(Bytes bytes) {
  return (At(bytes, 0, "MZ") && bytes.size() >= 64 && Word(bytes, 2) < 512) || At(bytes, 0,
                                                                                  "\x7f"
                                                                                  "ELF");
}

// Step 1: the formats with a header of their own, and what is not art.
bool ByHeader(Bytes bytes, std::size_t art_size, ArtFormat& format) {
  const Bytes art = bytes.first(art_size);
  auto found = [&format](ArtFormat kind) {
    format = kind;
    return true;
  };
  if (At(bytes, 0, "XBIN\x1a")) return found(ArtFormat::kXbin);
  if (At(bytes, 0, "\x18TUNDRA24")) return found(ArtFormat::kTundra);
  if ((At(bytes, 0,
          "\x04"
          "1.4") ||
       At(bytes, 0,
          "\x04"
          "1.3")) &&
      art_size >= kIdfHeader + kIdfTrailer && AllSixBit(art.last(48)))
    return found(ArtFormat::kIdf);
  if (!art.empty() && art[0] == 1 && art_size >= kAdfHeader && (art_size - kAdfHeader) % 2 == 0 &&
      AllSixBit(art.subspan(1, 192)))
    return found(ArtFormat::kAdf);
  if (At(bytes, 0, "\xff\xd8\xff") || At(bytes, 0, "\x89PNG\r\n\x1a\n") || At(bytes, 0, "GIF87a") ||
      At(bytes, 0, "GIF89a") || IsBmp(bytes) ||
      (At(bytes, 0, "FORM") && (At(bytes, 8, "ILBM") || At(bytes, 8, "PBM "))))
    return found(ArtFormat::kImage);
  if (At(bytes, 0, "ID3") || IsMp3(bytes) ||
      (At(bytes, 0, "RIFF") && (At(bytes, 8, "WAVE") || At(bytes, 8, "RMID"))) ||
      At(bytes, 0, "MThd") || At(bytes, 0, "OggS") || At(bytes, 0, "fLaC") ||
      At(bytes, 0, "IMPM") || At(bytes, 44, "SCRM") || At(bytes, 0, "Extended Module: ") ||
      IsModule(bytes))
    return found(ArtFormat::kAudio);
  if (IsExecutable(bytes)) return found(ArtFormat::kExecutable);
  if (At(bytes, 0, "%PDF-") || At(bytes, 0, "{\\rtf")) return found(ArtFormat::kDocument);
  if (At(bytes, 0, "PK\x03\x04") || At(bytes, 0, "Rar!\x1a\x07") ||
      At(bytes, 0, "7z\xbc\xaf\x27\x1c") || At(bytes, 0, "\x1f\x8b") || At(bytes, 0, "RIFF"))
    return found(ArtFormat::kData);
  return false;
}

// Step 2: what the record says, where that is enough.
bool BySauce(const SauceFacts& sauce, ArtFormat& format) {
  if (!sauce.Present) return false;
  static constexpr std::array<ArtFormat, 8> kCharacter = {
      ArtFormat::kAscii,   ArtFormat::kAnsi,   ArtFormat::kAnsi,     ArtFormat::kRipscrip,
      ArtFormat::kPcboard, ArtFormat::kAvatar, ArtFormat::kDocument, ArtFormat::kAscii,
  };
  switch (sauce.DataType) {
    case 1:
      if (sauce.FileType >= kCharacter.size()) return false;
      format = kCharacter[sauce.FileType];
      return true;
    case 2:
    case 3: format = ArtFormat::kImage; return true;
    case 4: format = ArtFormat::kAudio; return true;
    case 5: format = ArtFormat::kBin; return true;
    case 7: format = ArtFormat::kData; return true;
    case 8: format = ArtFormat::kExecutable; return true;
    default: return false;
  }
}

bool IsHex(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
}

bool IsAlnum(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Bytes no text holds: the controls but tab, line feed, form feed, carriage return, 26 and ESC.
constexpr bool IsBinaryControl(uint8_t b) {
  return b < 32 && b != 9 && b != 10 && b != 12 && b != 13 && b != 26 && b != 27;
}

struct Codes {
  std::size_t Escapes = 0, PcboardColors = 0, AvatarColors = 0, RipLines = 0, Controls = 0;
  std::size_t Bytes = 0;
};

// The rare codes that may start at byte `i`: PCBoard's, Avatar's and RIPscrip's.
void CountRare(Codes& codes, Bytes text, std::size_t i) {
  const std::size_t n = text.size();
  switch (text[i]) {
    case '@':
      codes.PcboardColors += i + 3 < n && (text[i + 1] == 'X' || text[i + 1] == 'x') &&
                             IsHex(text[i + 2]) && IsHex(text[i + 3]);
      break;
    case 0x16: codes.AvatarColors += i + 2 < n && text[i + 1] == 1; break;
    case '!':
      codes.RipLines += (i == 0 || text[i - 1] == '\n' || text[i - 1] == '\r') && i + 2 < n &&
                        text[i + 1] == '|' && IsAlnum(text[i + 2]);
      break;
    default: break;
  }
}

void CountByte(Codes& codes, Bytes text, std::size_t i) {
  codes.Controls += IsBinaryControl(text[i]);
  codes.Escapes += text[i] == 27 && i + 1 < text.size() && text[i + 1] == '[';
  CountRare(codes, text, i);
}

Codes CountCodes(Bytes text) {
  Codes codes;
  codes.Bytes = text.size();
  std::size_t i = 0;
#if TINTREL_SSE2
  // Sixteen bytes at once: the controls and ESC "[" pairs counted, the rare codes' first bytes
  // looked at one by one.
  // The counts gather in byte lanes (a match is -1, subtracted), summed before any lane can
  // pass 255: a count of bits would call a library routine on processors named only SSE2.
  const auto is = [](__m128i bytes, char b) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(b)); };
  __m128i controls = _mm_setzero_si128(), escapes = _mm_setzero_si128();
  auto sum = [](__m128i& lanes) {
    const __m128i halves = _mm_sad_epu8(lanes, _mm_setzero_si128());
    lanes = _mm_setzero_si128();
    return static_cast<std::size_t>(_mm_cvtsi128_si32(halves) +
                                    _mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
  };
  for (std::size_t round = 1; i + 17 <= text.size(); i += 16, ++round) {
    if (round % 255 == 0) {
      codes.Controls += sum(controls);
      codes.Escapes += sum(escapes);
    }
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 1));
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(31)), bytes);
    const __m128i text_controls =
        _mm_or_si128(_mm_or_si128(_mm_or_si128(is(bytes, 9), is(bytes, 10)),
                                  _mm_or_si128(is(bytes, 12), is(bytes, 13))),
                     _mm_or_si128(is(bytes, 26), is(bytes, 27)));
    controls = _mm_sub_epi8(controls, _mm_andnot_si128(text_controls, low));
    escapes = _mm_sub_epi8(escapes, _mm_and_si128(is(bytes, 27), is(next, '[')));
    auto rare = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(is(bytes, '@'), is(bytes, 0x16)), is(bytes, '!'))));
    for (; rare != 0; rare &= rare - 1) CountRare(codes, text, i + std::countr_zero(rare));
  }
  codes.Controls += sum(controls);
  codes.Escapes += sum(escapes);
#endif
  for (; i < text.size(); ++i) CountByte(codes, text, i);
  return codes;
}

// Steps 3 and 4: the codes the text holds, and the extension where they tie.
ArtFormat ByContent(Bytes art, std::string_view extension) {
  const Bytes text = art.first(std::min(TextLength(art), kSampleSize));
  const Codes codes = CountCodes(text);
  if (codes.RipLines > 0) return ArtFormat::kRipscrip;
  const bool pcboard = codes.PcboardColors > codes.Escapes;
  const bool avatar = codes.AvatarColors > codes.Escapes;
  if (pcboard && avatar && codes.PcboardColors == codes.AvatarColors)
    return extension == "avt" ? ArtFormat::kAvatar : ArtFormat::kPcboard;
  if (pcboard || avatar)
    return codes.PcboardColors >= codes.AvatarColors ? ArtFormat::kPcboard : ArtFormat::kAvatar;
  if (codes.Escapes > 0) return ArtFormat::kAnsi;
  if (codes.Controls * 8 >= codes.Bytes && codes.Controls > 0)
    return extension == "bin" ? ArtFormat::kBin : ArtFormat::kData;
  if (extension == "ans" || extension == "ice" || extension == "cia") return ArtFormat::kAnsi;
  if (extension == "pcb") return ArtFormat::kPcboard;
  if (extension == "avt") return ArtFormat::kAvatar;
  return ArtFormat::kAscii;
}

}  // namespace

std::size_t TextLength(std::span<const uint8_t> bytes) {
  const void* end_mark = bytes.empty() ? nullptr : std::memchr(bytes.data(), 26, bytes.size());
  return end_mark == nullptr
             ? bytes.size()
             : static_cast<std::size_t>(static_cast<const uint8_t*>(end_mark) - bytes.data());
}

std::string_view FormatName(ArtFormat format) {
  static constexpr std::array<std::string_view, 15> kNames = {
      "ansi", "ascii",  "pcboard", "avatar", "ripscrip",   "bin",      "xbin", "adf",
      "idf",  "tundra", "image",   "audio",  "executable", "document", "data",
  };
  return kNames[static_cast<std::size_t>(format)];
}

bool IsArt(ArtFormat format) {
  return format < ArtFormat::kImage;
}

bool IsTextArt(ArtFormat format) {
  return format <= ArtFormat::kRipscrip;
}

ArtFormat RecognizeFormat(std::span<const uint8_t> bytes, const SauceFacts& sauce,
                          std::string_view extension) {
  const std::size_t art_size =
      bytes.size() - std::min<uint64_t>(sauce.Present ? sauce.TailSize : 0, bytes.size());
  ArtFormat format = ArtFormat::kData;
  if (ByHeader(bytes, art_size, format)) return format;
  const bool text_record = BySauce(sauce, format);
  if (text_record && format != ArtFormat::kAscii && format != ArtFormat::kAnsi) return format;
  const ArtFormat content = ByContent(bytes.first(art_size), extension);
  if (!text_record) return content;
  const bool coded = content == ArtFormat::kPcboard || content == ArtFormat::kAvatar ||
                     content == ArtFormat::kRipscrip;
  return coded ? content : format;
}

}  // namespace tintrel
