// SPDX-License-Identifier: MIT
// The format of a file, told by its content: which of the art formats a collection holds it is,
// or which kind of thing that is not art. The rules, in the order they are tried, are the table
// in art_format.cc and the FORMATS section of man/tintrel-catalog.1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tintrel {

enum class ArtFormat : uint8_t {
  // Art drawn from text: the screen reads its bytes in order.
  kAnsi,
  kAscii,
  kPcboard,
  kAvatar,
  kRipscrip,
  // Art stored as the cells of a screen.
  kBin,
  kXbin,
  kAdf,
  kIdf,
  kTundra,
  // Not art.
  kImage,
  kAudio,
  kExecutable,
  kDocument,
  kData,
};

// The `format` column's word: "ansi", "xbin", "image"...
std::string_view FormatName(ArtFormat format);

bool IsArt(ArtFormat format);

// Text formats end at the first byte 26 that is text (in Avatar a command may hold one); in a
// format of cells a byte 26 is a cell like any other.
bool IsTextArt(ArtFormat format);

// The bytes in front of the first byte 26.
std::size_t TextLength(std::span<const uint8_t> bytes);

// What recognition and the readers need of a file's SAUCE record, filled by the caller from the
// decoded record. The defaults say the file has none.
struct SauceFacts {
  bool Present = false;
  uint8_t DataType = 0, FileType = 0;
  uint16_t Width = 0, Lines = 0;  // TInfo1 and TInfo2
  bool Ice = false;               // the non-blink flag of Character and BinaryText data
  uint64_t TailSize = 0;          // the record and the comment block in front of it, in bytes
};

// Decides the format of a file's bytes (the whole file, its record included), its record's facts
// and its name's extension (lower case, without the dot; empty when it has none).
ArtFormat RecognizeFormat(std::span<const uint8_t> bytes, const SauceFacts& sauce,
                          std::string_view extension);

}  // namespace tintrel
