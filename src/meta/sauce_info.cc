// SPDX-License-Identifier: MIT
#include "meta/sauce_info.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "meta/sauce_types.h"
#include "text/cp437.h"

namespace tintrel {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kPadding = " \0"sv;
constexpr char kEndOfFile = '\x1a';

constexpr std::string_view kLetterSpacings[] = {"none", "8-pixel", "9-pixel", "invalid"};
constexpr std::string_view kAspectRatios[] = {"none", "legacy", "square", "invalid"};
constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Fixed-width text as it shows: the padding at the end dropped, a NUL inside drawn as the blank
// it is on screen.
std::string FieldToUtf8(std::string_view field) {
  std::string text = Cp437ToUtf8(field.substr(0, field.find_last_not_of(kPadding) + 1));
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

bool IsNulPadded(std::string_view field) {
  // Past the last byte that is not padding; npos + 1 is 0, all of a field that is only padding.
  return field.find('\0', field.find_last_not_of(kPadding) + 1) != std::string_view::npos;
}

uint16_t Little16(const std::array<uint8_t, 2>& bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t Little32(const std::array<uint8_t, 4>& bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// "YYYY-MM-DD" when the eight bytes are digits naming a day of the Gregorian calendar.
std::string IsoDate(std::string_view date) {
  if (date.find_first_not_of("0123456789") != std::string_view::npos) return {};
  auto number = [date](std::size_t at, std::size_t digits) {
    int value = 0;
    for (char digit : date.substr(at, digits)) value = value * 10 + (digit - '0');
    return value;
  };
  const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] + (month == 2 && leap))
    return {};
  return std::string(date.substr(0, 4)) + "-" + std::string(date.substr(4, 2)) + "-" +
         std::string(date.substr(6, 2));
}

void DecodeText(SauceInfo& info) {
  const SauceRecord& record = info.Record;
  info.Version = FieldToUtf8(FieldText(record.Version));
  info.Title = FieldToUtf8(FieldText(record.Title));
  info.Author = FieldToUtf8(FieldText(record.Author));
  info.Group = FieldToUtf8(FieldText(record.Group));
  info.Date = FieldToUtf8(FieldText(record.Date));
  info.DateIso = IsoDate(FieldText(record.Date));
  std::string_view font = FieldText(record.TInfoS);
  info.Font = FieldToUtf8(font.substr(0, font.find('\0')));
}

bool HasTextFlags(uint8_t data_type) {
  return data_type == kCharacterData || data_type == kBinaryTextData;
}

// Other types define no flags, so any bit set there is as reserved as bits 5-7 are here.
bool HasReservedFlags(uint8_t data_type, uint8_t flags) {
  if (!HasTextFlags(data_type)) return flags != 0;
  return (flags >> 1 & 3) == 3 || (flags >> 3 & 3) == 3 || (flags & 0xE0) != 0;
}

// What the numbers mean depends on the type.
void DecodeType(SauceInfo& info) {
  const SauceRecord& record = info.Record;
  info.FileSize = Little32(record.FileSize);
  info.DataType = record.DataType;
  info.FileType = record.FileType;
  info.DataTypeName = DataTypeName(info.DataType);
  info.FileTypeName = FileTypeName(info.DataType, info.FileType);
  info.TInfo = {Little16(record.TInfo1), Little16(record.TInfo2), Little16(record.TInfo3),
                Little16(record.TInfo4)};
  // Nothing is read into a file type the tables do not have.
  const bool counted_in_characters =
      IsKnownType(info.DataType, info.FileType) &&
      ((info.DataType == kCharacterData && info.FileType != kRipScript && info.FileType != kHtml &&
        info.FileType != kSource) ||
       info.DataType == kXBinData);
  if (counted_in_characters) {
    info.Width = info.TInfo[0];
    info.Lines = info.TInfo[1];
  }
  if (info.DataType == kBinaryTextData && info.FileType != 0)
    info.Width = static_cast<uint16_t>(2 * info.FileType);
  if (HasTextFlags(info.DataType)) {
    info.IceColors = (record.TFlags & 1) != 0;
    info.LetterSpacing = kLetterSpacings[record.TFlags >> 1 & 3];
    info.AspectRatio = kAspectRatios[record.TFlags >> 3 & 3];
  }
}

}  // namespace

SauceInfo DecodeSauceTail(std::string_view tail, uint64_t file_size) {
  SauceInfo info;
  if (tail.size() < kSauceSize || tail.substr(tail.size() - kSauceSize, 5) != "SAUCE") return info;
  file_size = std::max<uint64_t>(file_size, tail.size());
  info.Present = true;
  const std::size_t record_at = tail.size() - kSauceSize;
  std::memcpy(&info.Record, tail.data() + record_at, kSauceSize);
  DecodeText(info);
  DecodeType(info);

  // The comment block counts only where the record's line count puts "COMNT"; a block that is
  // not there is not looked for elsewhere.
  std::size_t front_at = record_at;  // where the comment block, or else the record, begins
  const std::size_t lines = info.Record.Comments;
  const std::size_t block_size = kCommentIdSize + lines * kCommentLineSize;
  const bool comments_missing =
      lines > 0 &&
      (block_size > record_at || tail.substr(record_at - block_size, kCommentIdSize) != "COMNT");
  if (lines > 0 && !comments_missing) {
    front_at = record_at - block_size;
    info.RawComments.reserve(lines);
    info.Comments.reserve(lines);
    for (std::size_t at = front_at + kCommentIdSize; at < record_at; at += kCommentLineSize) {
      std::string_view line = tail.substr(at, kCommentLineSize);
      info.RawComments.emplace_back(line);
      info.Comments.push_back(FieldToUtf8(line));
    }
  }

  const bool eof_marker = front_at > 0 && tail[front_at - 1] == kEndOfFile;
  const uint64_t data_size = file_size - (tail.size() - front_at) - (eof_marker ? 1 : 0);
  const SauceRecord& record = info.Record;
  const bool nul_padding =
      IsNulPadded(FieldText(record.Title)) || IsNulPadded(FieldText(record.Author)) ||
      IsNulPadded(FieldText(record.Group)) || IsNulPadded(FieldText(record.Date));
  const bool checks[] = {
      !eof_marker,                                       // no-eof-marker
      comments_missing,                                  // comments-missing
      info.FileSize != 0 && info.FileSize != data_size,  // filesize-mismatch
      info.DateIso.empty(),                              // bad-date
      FieldText(record.Version) != "00",                 // unknown-version
      !IsKnownType(info.DataType, info.FileType),        // unknown-type
      HasReservedFlags(record.DataType, record.TFlags),  // reserved-flags
      nul_padding,                                       // nul-padding
      front_at >= kSauceSize && tail.substr(front_at - kSauceSize, 5) == "SAUCE",  // double-record
  };
  static_assert(std::size(checks) == kSauceWarnings.size());
  for (std::size_t i = 0; i < kSauceWarnings.size(); ++i)
    if (checks[i]) info.Warnings.push_back(kSauceWarnings[i]);
  return info;
}

SauceInfo ReadSauceInfo(const FileHandle& file, const std::string& name) {
  const int64_t end = EndOffset(file);
  if (end < static_cast<int64_t>(kSauceSize)) return {};
  const uint64_t file_size = static_cast<uint64_t>(end);
  // One read of the last 4 KiB sees the record, up to 59 comment lines, the byte 26 and a record
  // in front; only a longer comment block takes a second read, of all it may need.
  std::array<char, 4096> first;
  std::size_t size = std::min<uint64_t>(file_size, first.size());
  uint64_t from = file_size - size;
  size = ReadAt(file, first.data(), size, from, name);
  // A file that shrank while being read ends where the read ended.
  SauceInfo info = DecodeSauceTail({first.data(), size}, from + size);
  const std::size_t needed =
      2 * kSauceSize + kCommentIdSize + info.Record.Comments * kCommentLineSize + 1;
  if (!info.Present || size >= needed || from == 0) return info;
  std::string tail(std::min<uint64_t>(file_size, needed), '\0');
  from = file_size - tail.size();
  tail.resize(ReadAt(file, tail.data(), tail.size(), from, name));
  return DecodeSauceTail(tail, from + tail.size());
}

}  // namespace tintrel
