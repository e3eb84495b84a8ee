// SPDX-License-Identifier: MIT
#include "meta/sauce_types.h"

#include <span>

namespace tintrel {

namespace {

constexpr std::string_view kNameless[] = {""};
constexpr std::string_view kCharacterTypes[] = {
    "ASCII",  "ANSi", "ANSiMation", "RIP script", "PCBoard",
    "Avatar", "HTML", "Source",     "TundraDraw",
};
constexpr std::string_view kBitmapTypes[] = {
    "GIF", "PCX", "LBM/IFF", "TGA", "FLI", "FLC", "BMP",
    "GL",  "DL",  "WPG",     "PNG", "JPG", "MPG", "AVI",
};
constexpr std::string_view kVectorTypes[] = {"DXF", "DWG", "WPG", "3DS"};
constexpr std::string_view kAudioTypes[] = {
    "MOD",   "669",    "STM",    "S3M",     "MTM",  "FAR", "ULT", "AMF",  "DMF",
    "OKT",   "ROL",    "CMF",    "MID",     "SADT", "VOC", "WAV", "SMP8", "SMP8S",
    "SMP16", "SMP16S", "PATCH8", "PATCH16", "XM",   "HSC", "IT",
};
constexpr std::string_view kArchiveTypes[] = {
    "ZIP", "ARJ", "LZH", "ARC", "TAR", "ZOO", "RAR", "UC2", "PAK", "SQZ",
};

struct DataTypeRow {
  std::string_view Name;
  std::span<const std::string_view> FileTypes;  // by number; BinaryText has none
};

constexpr DataTypeRow kDataTypes[] = {
    {"None", kNameless},      {"Character", kCharacterTypes}, {"Bitmap", kBitmapTypes},
    {"Vector", kVectorTypes}, {"Audio", kAudioTypes},         {"BinaryText", {}},
    {"XBin", kNameless},      {"Archive", kArchiveTypes},     {"Executable", kNameless},
};

}  // namespace

std::string_view DataTypeName(uint8_t data_type) {
  return data_type < std::size(kDataTypes) ? kDataTypes[data_type].Name : std::string_view();
}

std::string_view FileTypeName(uint8_t data_type, uint8_t file_type) {
  if (data_type >= std::size(kDataTypes)) return {};
  std::span<const std::string_view> names = kDataTypes[data_type].FileTypes;
  return file_type < names.size() ? names[file_type] : std::string_view();
}

bool IsKnownType(uint8_t data_type, uint8_t file_type) {
  if (data_type == kBinaryTextData) return file_type != 0;
  return data_type < std::size(kDataTypes) && file_type < kDataTypes[data_type].FileTypes.size();
}

}  // namespace tintrel
