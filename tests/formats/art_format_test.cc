// SPDX-License-Identifier: MIT
#include "formats/art_format.h"

#include <gtest/gtest.h>

#include <string>

#include "formats/readers.h"

namespace tintrel {
namespace {

using namespace std::string_literals;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string At(std::size_t offset, const std::string& magic, std::size_t size = 0) {
  std::string bytes(offset, '\0');
  bytes += magic;
  bytes.resize(std::max(bytes.size(), size), '\0');
  return bytes;
}

// Two MPEG-1 Layer III frames of 128 kbit/s at 44.1 kHz: 417 bytes each.
std::string Mp3() {
  std::string frame = "\xff\xfb\x90\x00"s;
  frame.resize(417, '\x55');
  return frame + frame;
}

std::string AdfFile() {
  std::string bytes = "\x01"s + std::string(192, '\x2a') + std::string(4096, '\xff');
  return bytes + "A\x07";
}

std::string IdfFile() {
  return "\x04"
         "1.4\0\0\0\0\x4f\0\x18\0"s +
         "A\x07" + std::string(4096, '\xff') + std::string(48, '\x3f');
}

struct Case {
  std::string Bytes;
  ArtFormat Expected;
  std::string Extension = {};
  SauceFacts Sauce = {};
};

TEST(ArtFormat, EachKindIsToldByItsContent) {
  const SauceFacts binary_text{true, 5, 40};
  const SauceFacts ansi_record{true, 1, 1};
  const Case cases[] = {
      {"XBIN\x1a\x50\0\x19\0\x10\0"s, ArtFormat::kXbin},
      {"\x18TUNDRA24\x02"
       "A\0\xff\0\0"s,
       ArtFormat::kTundra},
      {IdfFile(), ArtFormat::kIdf},
      {AdfFile(), ArtFormat::kAdf},
      {AdfFile() + "A", ArtFormat::kAscii},  // an odd count of cell bytes is no ADF
      {"\xff\xd8\xff\xe0\0\x10JFIF\0\x1a"s, ArtFormat::kImage},
      {"\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, ArtFormat::kImage},
      {"GIF89a\x01\0\x01\0"s, ArtFormat::kImage},
      {At(0, "BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0"s, 70), ArtFormat::kImage},
      {"FORM\0\0\0\x10ILBMBMHD"s, ArtFormat::kImage},
      {"ID3\x03\0\0\0\0\0\x0a"s, ArtFormat::kAudio},
      {Mp3(), ArtFormat::kAudio},
      {Mp3().substr(0, 420), ArtFormat::kAscii},  // one frame alone proves nothing
      {"RIFF\x24\0\0\0WAVEfmt "s, ArtFormat::kAudio},
      {"RIFF\x24\0\0\0AVI LIST"s, ArtFormat::kData},
      {At(1080, "M.K."), ArtFormat::kAudio},
      {At(44, "SCRM", 96), ArtFormat::kAudio},
      {"Extended Module: tune"s, ArtFormat::kAudio},
      {"IMPMtune"s, ArtFormat::kAudio},
      {At(0, "MZ\x90\0\x03\0"s, 128), ArtFormat::kExecutable},
      {"MZ presents a new collection\r\n"s + std::string(64, ' '), ArtFormat::kAscii},
      {"\x7f"
       "ELF\x02\x01\x01"s,
       ArtFormat::kExecutable},
      {"%PDF-1.4\n"s, ArtFormat::kDocument},
      {"{\\rtf1\\ansi"s, ArtFormat::kDocument},
      {"PK\x03\x04\x14\0"s, ArtFormat::kData},
      // The record, where no header decides.
      {"\x01\x07\x02\x07"s, ArtFormat::kBin, "", binary_text},
      {"hello\0\0world"s, ArtFormat::kAnsi, "", ansi_record},
      {"@X0Fhi@X1Fthere"s, ArtFormat::kPcboard, "", ansi_record},
      {"hi"s, ArtFormat::kAvatar, "", {true, 1, 5}},
      {"\x89PNG\r\n\x1a\n"s, ArtFormat::kImage, "", ansi_record},
      // The content: codes against ESC sequences, then control bytes, then the extension.
      {"@X0Fhi @X1Fthere\x1b[0m"s, ArtFormat::kPcboard},
      {"\x16\x01\x0fhi\x19 \x05"s, ArtFormat::kAvatar},
      {"\x1b[31mred\x1b[0m@X0F"s, ArtFormat::kAnsi},
      {"!|c02|L00001111\r\n!|e"s, ArtFormat::kRipscrip},
      {"an editor left\0a NUL here\r\n"s, ArtFormat::kAscii},
      {"\x1b[1mbold\0\0\0\0\0\0"s, ArtFormat::kAnsi},
      {"A\x07"
       "B\x07"
       "C\x1f"
       "D\x4e"s,
       ArtFormat::kBin, "bin"},
      {"A\x07"
       "B\x07"
       "C\x1f"
       "D\x4e"s,
       ArtFormat::kData},
      {"just text"s, ArtFormat::kAnsi, "ans"},
      {"just text"s, ArtFormat::kAscii, "nfo"},
      {"@X0Fone \x16\x01\x0ftwo"s, ArtFormat::kAvatar, "avt"},
      {""s, ArtFormat::kAscii},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatName(RecognizeFormat(Bytes(c.Bytes), c.Sauce, c.Extension)),
              FormatName(c.Expected))
        << testing::PrintToString(c.Bytes.substr(0, 24)) << " ." << c.Extension;
  }
}

TEST(ArtFormat, ArtEndsWhereItsMetadataBegins) {
  const std::string bytes =
      "ab\x1a"
      "cd"
      "SAUCE-tail"s;
  const SauceFacts sauce{.Present = true, .TailSize = 10};
  EXPECT_EQ(ArtBytes(ArtFormat::kAnsi, Bytes(bytes), sauce).size(), 2u);
  EXPECT_EQ(ArtBytes(ArtFormat::kAnsi, Bytes("abcd"s + "SAUCE-tail"), sauce).size(), 4u);
  EXPECT_EQ(ArtBytes(ArtFormat::kXbin, Bytes(bytes), sauce).size(), 5u);
  EXPECT_EQ(ArtBytes(ArtFormat::kImage, Bytes(bytes), sauce).size(), 0u);
  // A count of 26 inside an Avatar repeat is no end.
  EXPECT_EQ(ArtBytes(ArtFormat::kAvatar,
                     Bytes("\x19-\x1a"
                           "ab\x1a"
                           "cd"s),
                     {})
                .size(),
            5u);
}

}  // namespace
}  // namespace tintrel
