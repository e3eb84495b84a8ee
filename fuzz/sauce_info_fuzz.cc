// SPDX-License-Identifier: MIT
// Any bytes as the end of a file: decoded as the whole file, as the end of a larger one, with a
// size too small for them, and read from a file holding them. Aborts when the value breaks what
// the record's decoder promises.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "io/file_handle.h"
#include "memory_file.h"
#include "meta/sauce_info.h"
#include "meta/sauce_types.h"
#include "text/utf8.h"

namespace tintrel {
namespace {

void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "sauce info: %s\n", what);
  std::abort();
}

bool HasWarning(const SauceInfo& info, std::string_view code) {
  return std::find(info.Warnings.begin(), info.Warnings.end(), code) != info.Warnings.end();
}

// Decoded text is valid UTF-8 without NULs and without the padding it came with.
void CheckText(const std::string& text) {
  Check(IsUtf8(text), "text is not UTF-8");
  Check(text.find('\0') == std::string::npos, "NUL in text");
  Check(text.empty() || text.back() != ' ', "padding left on text");
}

void CheckInfo(std::string_view tail, const SauceInfo& info) {
  const std::size_t size = tail.size();
  Check(info.Present == (size >= kSauceSize && tail.substr(size - kSauceSize, 5) == "SAUCE"),
        "present");
  if (!info.Present) {
    Check(info == SauceInfo{}, "a value without a record");
    return;
  }
  Check(std::memcmp(&info.Record, tail.data() + size - kSauceSize, kSauceSize) == 0, "record");

  // Codes come from the list, each once, in its order.
  const auto* last = kSauceWarnings.begin();
  for (std::string_view code : info.Warnings) {
    const auto* at = std::find(last, kSauceWarnings.end(), code);
    Check(at != kSauceWarnings.end() && code.data() == at->data(), "warning out of order");
    last = at + 1;
  }

  const std::size_t lines = info.Record.Comments;
  Check(info.Comments.size() == info.RawComments.size(), "comment counts");
  Check(info.Comments.empty() || info.Comments.size() == lines, "comment lines");
  Check(HasWarning(info, "comments-missing") == (lines > 0 && info.Comments.empty()),
        "comments-missing");
  for (std::size_t i = 0; i < info.RawComments.size(); ++i) {
    const std::size_t at = size - kSauceSize - (lines - i) * kCommentLineSize;
    Check(info.RawComments[i] == tail.substr(at, kCommentLineSize), "raw comment line");
    CheckText(info.Comments[i]);
  }
  // The byte 26 and the size count from where the comments, or else the record, begin.
  const std::size_t front =
      size - kSauceSize -
      (lines > 0 && !info.Comments.empty() ? kCommentIdSize + lines * kCommentLineSize : 0);
  const bool eof_marker = front > 0 && tail[front - 1] == '\x1a';
  Check(HasWarning(info, "no-eof-marker") == !eof_marker, "no-eof-marker");
  Check(HasWarning(info, "filesize-mismatch") ==
            (info.FileSize != 0 && info.FileSize != front - eof_marker),
        "filesize-mismatch");

  for (const std::string* text :
       {&info.Version, &info.Title, &info.Author, &info.Group, &info.Date, &info.Font})
    CheckText(*text);

  Check(HasWarning(info, "bad-date") == info.DateIso.empty(), "bad-date");
  Check(info.DateIso.empty() ||
            (info.DateIso.size() == 10 && info.Date.size() == 8 &&
             info.DateIso.substr(0, 4) + info.DateIso.substr(5, 2) + info.DateIso.substr(8) ==
                 info.Date),
        "date");
  Check(HasWarning(info, "unknown-type") == !IsKnownType(info.DataType, info.FileType),
        "unknown-type");
  const bool text_flags = info.DataType == kCharacterData || info.DataType == kBinaryTextData;
  Check(info.IceColors.has_value() == text_flags && info.LetterSpacing.has_value() == text_flags &&
            info.AspectRatio.has_value() == text_flags,
        "flags decoded for their types only");
  Check(!info.Lines || info.Width, "lines without a width");
  if (info.DataType == kBinaryTextData)
    Check(info.Width == (info.FileType == 0 ? std::nullopt : std::optional(2 * info.FileType)),
          "binary text width");
}

// The same value but for the comparison of the record's size with the file's.
bool SameButSize(SauceInfo a, SauceInfo b) {
  for (SauceInfo* info : {&a, &b}) std::erase(info->Warnings, kSauceWarnings[2]);
  return a == b;
}

}  // namespace
}  // namespace tintrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tintrel;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const SauceInfo whole = DecodeSauceTail(bytes, size);
  CheckInfo(bytes, whole);

  // What lies in front of the tail is unknown, so only the size comparison may change.
  const uint64_t larger = size + 1 + (size > 0 ? uint64_t{data[0]} << 26 : 0);
  Check(SameButSize(whole, DecodeSauceTail(bytes, larger)),
        "the tail of a larger file decodes otherwise");
  Check(DecodeSauceTail(bytes, 0) == whole, "a size smaller than the tail");

  const std::string& name = MemoryFile(data, size);
  FileHandle file = OpenForReading(name);
  Check(file.IsOpen(), "memory file open");
  Check(ReadSauceInfo(file, name) == whole, "the file reads otherwise");

  // The longest tail the reader fetches holds all there is to see.
  if (size > kSauceTailMax)
    Check(DecodeSauceTail(bytes.substr(size - kSauceTailMax), size) == whole, "longest tail");
  return 0;
}
