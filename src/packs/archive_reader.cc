// SPDX-License-Identifier: MIT
#include "packs/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "packs/seven_zip_windows.h"
#include "text/cp437.h"
#include "text/utf8.h"

namespace tintrel {

namespace {

constexpr std::size_t kChunk = 64 << 10;

struct ArchiveDeleter {
  void operator()(archive* pack) const { archive_read_free(pack); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveDeleter>;

// libarchive turns 7z's and RAR's Unicode names into the thread's character set: UTF-8 here,
// whatever the user's locale is.
locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return locale;
}

struct LocaleScope {
  locale_t Before;
  LocaleScope() : Before(Utf8Locale() ? uselocale(Utf8Locale()) : nullptr) {}
  ~LocaleScope() {
    if (Before) uselocale(Before);
  }
};

// The pack's bytes as libarchive asks for them: read on, skip and seek, from any source.
struct Input {
  const PackSource& Source;
  uint64_t At = 0;
  std::vector<uint8_t> Chunk = std::vector<uint8_t>(kChunk);
};

la_ssize_t ReadInput(archive* pack, void* data, const void** bytes) {
  Input& input = *static_cast<Input*>(data);
  const uint64_t left = input.Source.Size - std::min(input.At, input.Source.Size);
  if (input.Source.File == nullptr) {
    const std::size_t size = static_cast<std::size_t>(std::min<uint64_t>(left, 1 << 20));
    *bytes = input.Source.Bytes.data() + input.At;
    input.At += size;
    return static_cast<la_ssize_t>(size);
  }
  try {
    const std::size_t size = ReadSource(input.Source, input.At, input.Chunk.data(), kChunk);
    *bytes = input.Chunk.data();
    input.At += size;
    return static_cast<la_ssize_t>(size);
  } catch (const Fault& fault) {
    archive_set_error(pack, fault.ErrorNumber ? fault.ErrorNumber : EIO, "%s",
                      fault.Message.c_str());
    return -1;
  }
}

la_int64_t SkipInput(archive*, void* data, la_int64_t request) {
  Input& input = *static_cast<Input*>(data);
  const uint64_t left = input.Source.Size - std::min(input.At, input.Source.Size);
  const uint64_t skipped =
      std::min<uint64_t>(static_cast<uint64_t>(std::max<la_int64_t>(request, 0)), left);
  input.At += skipped;
  return static_cast<la_int64_t>(skipped);
}

la_int64_t SeekInput(archive*, void* data, la_int64_t offset, int whence) {
  Input& input = *static_cast<Input*>(data);
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<int64_t>(input.At)
                                            : static_cast<int64_t>(input.Source.Size);
  const int64_t at = base + offset;
  if (at < 0) return ARCHIVE_FATAL;
  input.At = static_cast<uint64_t>(at);
  return at;
}

// Reads a variable-length number of RAR 5's headers.
std::optional<uint64_t> RarNumber(std::span<const uint8_t> bytes, std::size_t& at) {
  uint64_t value = 0;
  for (unsigned shift = 0; at < bytes.size() && shift < 64; shift += 7) {
    const uint8_t byte = bytes[at++];
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return value;
  }
  return std::nullopt;
}

// Whether a RAR pack's main header marks it as one volume of a set.
bool IsRarVolume(std::span<const uint8_t> head) {
  if (head.size() > 12 && head[6] == 0x00) {  // RAR 4: CRC, type 0x73, flags
    return head[9] == 0x73 && (head[10] & 0x01);
  }
  std::size_t at = 8 + 4;  // RAR 5: signature, CRC
  std::optional<uint64_t> size = RarNumber(head, at), type = RarNumber(head, at),
                          flags = RarNumber(head, at);
  if (!size || type != 1 || !flags) return false;
  if (*flags & 1 && !RarNumber(head, at)) return false;
  if (*flags & 2 && !RarNumber(head, at)) return false;
  std::optional<uint64_t> archive_flags = RarNumber(head, at);
  return archive_flags && (*archive_flags & 1);
}

// A name as the pack stores it: UTF-8 where it is, code page 437 where not, as DOS wrote it.
std::string DecodeName(const char* name) {
  const std::string_view bytes = name ? name : "";
  return IsUtf8(bytes) ? std::string(bytes) : Cp437ToUtf8(bytes);
}

// A lone compressed file has one member: the name in a gzip header (ISO 8859-1), or the pack's
// own name without its suffix.
std::string LoneMemberName(const PackSource& source, PackFormat format) {
  std::array<uint8_t, 1024> head{};
  const std::size_t got = ReadSource(source, 0, head.data(), head.size());
  if (format == PackFormat::kGzip && got > 10 && (head[3] & 0x08)) {
    std::size_t at = 10;
    if (head[3] & 0x04) at += 2 + static_cast<std::size_t>(head[10] | head[11] << 8);
    std::string name;
    for (; at < got && head[at] != 0; ++at) name += static_cast<char>(head[at]);
    if (at < got && !name.empty()) {
      if (IsUtf8(name)) return name;
      std::string latin;
      for (unsigned char c : name) {
        if (c < 0x80) {
          latin += static_cast<char>(c);
        } else {
          latin += static_cast<char>(0xC0 | c >> 6);
          latin += static_cast<char>(0x80 | (c & 0x3F));
        }
      }
      return latin;
    }
  }
  const std::string_view path = source.Name;
  const std::string_view name = path.substr(path.rfind('/') + 1);
  for (std::string_view suffix : {".gz", ".z", ".Z", ".GZ", ".bz2", ".BZ2", ".xz", ".XZ"}) {
    if (name.size() > suffix.size() && name.ends_with(suffix))
      return std::string(name.substr(0, name.size() - suffix.size()));
  }
  return name.empty() ? "data" : std::string(name);
}

// A compressed file is read as a tar inside when it holds one; `lone` reads it as one file only.
void Enable(archive* pack, PackFormat format, bool lone) {
  if (lone) {
    archive_read_support_filter_all(pack);
    archive_read_support_format_raw(pack);
    return;
  }
  switch (format) {
    case PackFormat::kRar:
      archive_read_support_format_rar(pack);
      archive_read_support_format_rar5(pack);
      break;
    case PackFormat::kSevenZip: archive_read_support_format_7zip(pack); break;
    case PackFormat::kLha: archive_read_support_format_lha(pack); break;
    case PackFormat::kTar: archive_read_support_format_tar(pack); break;
    default:  // compressed: a tar inside, or else one file
      archive_read_support_filter_gzip(pack);
      archive_read_support_filter_bzip2(pack);
      archive_read_support_filter_xz(pack);
      archive_read_support_format_tar(pack);
      archive_read_support_format_raw(pack);
      break;
  }
}

std::string Problem(archive* pack, bool volume) {
  const char* text = archive_error_string(pack);
  const std::string message = text ? text : "unreadable";
  if (volume)
    return "unsupported: goes on in another volume of a multi-volume set (" + message + ")";
  if (message.find("nsupported") != std::string::npos) return "unsupported: " + message;
  return "damaged: " + message;
}

}  // namespace

namespace {

// Reads the pack's members into the visitor; false when it held no member at all.
bool ReadEntries(const PackSource& source, PackFormat format, bool lone, bool volume,
                 PackBudget& budget, const PackVisitor& visitor, PackOutcome& outcome) {
  ArchivePtr pack(archive_read_new());
  if (!pack) throw PackError("cannot start libarchive");
  Enable(pack.get(), format, lone);
  Input input{source};
  archive_read_set_read_callback(pack.get(), ReadInput);
  archive_read_set_skip_callback(pack.get(), SkipInput);
  archive_read_set_seek_callback(pack.get(), SeekInput);
  archive_read_set_callback_data(pack.get(), &input);
  if (archive_read_open1(pack.get()) != ARCHIVE_OK) {
    AddProblem(outcome, Problem(pack.get(), false));
    return true;
  }
  std::optional<std::string> lone_name;
  for (bool first = true;; first = false) {
    archive_entry* entry = nullptr;
    const int header = archive_read_next_header(pack.get(), &entry);
    // A file that starts with a block of NUL bytes reads as a tar that ends at once.
    if (header == ARCHIVE_EOF && first && archive_format(pack.get()) != ARCHIVE_FORMAT_RAW)
      return false;
    if (header == ARCHIVE_EOF) break;
    if (header == ARCHIVE_RETRY) continue;
    if (header == ARCHIVE_FATAL) {
      AddProblem(outcome, Problem(pack.get(), false));
      break;
    }
    if (header == ARCHIVE_FAILED) continue;
    if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr)
      continue;
    std::string name;
    if (archive_format(pack.get()) == ARCHIVE_FORMAT_RAW) {
      if (!lone_name) lone_name = LoneMemberName(source, format);
      name = *lone_name;
    } else {
      name = DecodeName(archive_entry_pathname(entry));
    }
    if (archive_entry_is_data_encrypted(entry) > 0) {
      visitor.Error(name, "unsupported: encrypted member");
      if (budget.Reached) break;
      continue;
    }
    bool fatal = false;
    uint64_t produced = 0;
    static constexpr std::array<uint8_t, kChunk> kZeros{};
    std::span<const uint8_t> block;  // read, and perhaps waiting behind a hole
    uint64_t block_at = 0;
    bool have_block = false;
    auto next = [&]() -> std::span<const uint8_t> {
      for (;;) {
        if (!have_block) {
          const void* bytes = nullptr;
          std::size_t size = 0;
          la_int64_t offset = 0;
          const int read = archive_read_data_block(pack.get(), &bytes, &size, &offset);
          if (read == ARCHIVE_EOF) return {};
          if (read < ARCHIVE_WARN) {
            fatal = read == ARCHIVE_FATAL;
            throw PackError(Problem(pack.get(), volume));
          }
          block = {static_cast<const uint8_t*>(bytes), size};
          block_at = static_cast<uint64_t>(std::max<la_int64_t>(offset, 0));
          have_block = true;
        }
        // A sparse file's holes read as zeros.
        std::span<const uint8_t> chunk = block;
        if (block_at > produced) {
          chunk = {kZeros.data(), static_cast<std::size_t>(
                                      std::min<uint64_t>(block_at - produced, kZeros.size()))};
        } else {
          have_block = false;
        }
        Spend(budget, chunk.size());
        produced += chunk.size();
        if (!chunk.empty()) return chunk;
      }
    };
    StreamState state;
    MemberBytes bytes = StreamedMember(
        next,
        archive_entry_size_is_set(entry) ? static_cast<uint64_t>(archive_entry_size(entry)) : 0,
        state);
    visitor.File(name, bytes);
    if (budget.Reached) break;
    if (fatal) {
      AddProblem(outcome, state.Failure->Message);
      break;
    }
  }
  return true;
}

}  // namespace

PackOutcome ReadArchive(const PackSource& source, PackFormat format, PackBudget& budget,
                        const PackVisitor& visitor) {
  LocaleScope utf8;
  PackOutcome outcome;
  std::array<uint8_t, 64> head{};
  head.fill(0);
  const std::size_t head_size = ReadSource(source, 0, head.data(), head.size());
  const bool volume = format == PackFormat::kRar && IsRarVolume({head.data(), head_size});
  if (volume) outcome.Error = "unsupported: a volume of a multi-volume set";
  if (format == PackFormat::kSevenZip) {
    outcome.Error = SevenZipWindowProblem(source);
    if (!outcome.Error.empty()) return outcome;
  }
  const bool compressed =
      format == PackFormat::kGzip || format == PackFormat::kBzip2 || format == PackFormat::kXz;
  if (!ReadEntries(source, format, false, volume, budget, visitor, outcome) && compressed)
    ReadEntries(source, format, true, volume, budget, visitor, outcome);
  if (budget.Reached) AddProblem(outcome, budget.Reason);
  return outcome;
}

}  // namespace tintrel
