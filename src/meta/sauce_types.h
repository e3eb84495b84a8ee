// SPDX-License-Identifier: MIT
// The data types and file types a SAUCE record names, as numbers and as names.
#pragma once

#include <cstdint>
#include <string_view>

namespace tintrel {

inline constexpr uint8_t kNoneData = 0, kCharacterData = 1, kBitmapData = 2, kVectorData = 3,
                         kAudioData = 4, kBinaryTextData = 5, kXBinData = 6, kArchiveData = 7,
                         kExecutableData = 8;

// Character file types: the numbers whose TInfo1 and TInfo2 are not a width and a line count.
inline constexpr uint8_t kRipScript = 3, kHtml = 6, kSource = 7;

// "Character", "XBin"...; empty for a number the table does not have.
std::string_view DataTypeName(uint8_t data_type);

// "ANSi", "PNG"...; empty for a pair the table does not have, and for the nameless file type 0 of
// None, XBin and Executable and every BinaryText file type (a width, not a name).
std::string_view FileTypeName(uint8_t data_type, uint8_t file_type);

// Whether the table has the pair. A BinaryText file type is half the width: 1 to 255.
bool IsKnownType(uint8_t data_type, uint8_t file_type);

}  // namespace tintrel
