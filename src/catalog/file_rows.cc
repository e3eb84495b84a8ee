// SPDX-License-Identifier: MIT
#include "catalog/file_rows.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "catalog/pack_rows.h"
#include "catalog/split_volume.h"
#include "io/long_path.h"
#include "packs/pack_format.h"

namespace tintrel {

namespace {

// Reads of this size feed the scan, the digest and the screen of a file too large to hold.
constexpr std::size_t kReadSize = 64 * 1024;

std::string Reason(const char* what, int error_number) {
  return std::string(what) + ": " + std::strerror(error_number);
}

// The file's bytes from where it stands to its end, a chunk at a time.
NextChunk FileChunks(const FileHandle& file, const std::string& path) {
  return [&file, &path,
          buffer =
              std::shared_ptr<uint8_t[]>(std::make_unique_for_overwrite<uint8_t[]>(kReadSize))]() {
    return std::span<const uint8_t>(buffer.get(), ReadSome(file, buffer.get(), kReadSize, path));
  };
}

}  // namespace

std::optional<HeldFile> StartFileRows(const std::string& path, const RowOptions& options,
                                      RowTools& tools, RowOutput& out) {
  auto fail = [&](const std::string& error) -> std::optional<HeldFile> {
    AddRow(out, ErrorRow(path, error), options);
    return std::nullopt;
  };
  // A pipe or a device is not opened at all: opening may wait or act on the device.
  struct stat status;
  if (!StatLongPath(path, status)) return fail(Reason("cannot open", errno));
  if (!S_ISREG(status.st_mode)) return fail("not a regular file");
  out.Stamp =
      FileStamp{status.st_size, status.st_mtim.tv_sec * 1'000'000'000 + status.st_mtim.tv_nsec};
  if (options.Earlier) {
    if (auto earlier = options.Earlier->find(path); earlier != options.Earlier->end() &&
                                                    earlier->second.Keep &&
                                                    earlier->second.Stamp == *out.Stamp) {
      out.Kept = true;
      out.Rows = earlier->second.Rows;
      return std::nullopt;
    }
  }
  FileHandle file = OpenLongPath(path, O_NONBLOCK);
  if (!file.IsOpen()) return fail(Reason("cannot open", errno));
  const int64_t size = RegularFileSize(file);
  if (size < 0) return fail("not a regular file");
  if (!LockShared(file)) return fail("locked by another process");

  // A small file is read whole at once: its first bytes tell a pack, its last hold the record.
  if (static_cast<uint64_t>(size) <= kHeldFileSize) {
    HeldFile held;
    held.Bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(size) + 1);
    try {
      held.Size = ReadAt(file, held.Bytes.get(), static_cast<std::size_t>(size) + 1, 0, path);
    } catch (const Fault& fault) {
      return fail(FaultText("cannot read", fault));
    }
    // One that grew while it was read is read as a large one.
    if (held.Size <= static_cast<uint64_t>(size)) {
      const std::span<const uint8_t> bytes(held.Bytes.get(), held.Size);
      const PackFormat format =
          options.OpenPacks
              ? DetectPackFormat(bytes.first(std::min(bytes.size(), kPackSignatureSize)))
              : PackFormat::kNone;
      if (format != PackFormat::kNone) {
        PackRows(path, file, held.Size, format, options, tools, out, bytes);
        return std::nullopt;
      }
      if (std::string split = options.OpenPacks ? SplitZipVolume(path, file, held.Size, bytes) : "";
          !split.empty())
        return fail(split);
      try {
        CloseFile(file, path);
      } catch (const Fault& fault) {
        return fail(FaultText("cannot close", fault));
      }
      held.Path = path;
      HeldFacts(held.Facts, path, bytes, tools.Art);
      return held;
    }
  }

  if (options.OpenPacks) {
    std::array<uint8_t, kPackSignatureSize> head;
    std::size_t got;
    try {
      got = ReadAt(file, head.data(), head.size(), 0, path);
    } catch (const Fault& fault) {
      return fail(FaultText("cannot read", fault));
    }
    if (const PackFormat format = DetectPackFormat({head.data(), got});
        format != PackFormat::kNone) {
      PackRows(path, file, static_cast<uint64_t>(size), format, options, tools, out);
      return std::nullopt;
    }
    if (std::string split = SplitZipVolume(path, file, static_cast<uint64_t>(size), {});
        !split.empty())
      return fail(split);
  }

  // The record first, from the end: its width is the screen's.
  std::optional<SauceInfo> info;
  try {
    info = ReadSauceInfo(file, path);
  } catch (const Fault& fault) {
    return fail(FaultText("cannot read", fault));
  }
  ArtFacts facts;
  StreamFacts(facts, path, FileChunks(file, path), info, tools.Art);
  if (const std::optional<Fault>& fault = ReadFault(facts))
    return fail(FaultText("cannot read", *fault));
  const Row row = ArtRow(path, facts, options, tools, ArtInFile(file, path));
  try {
    CloseFile(file, path);
  } catch (const Fault& fault) {
    return fail(FaultText("cannot close", fault));
  }
  AddRow(out, row, options);
  return std::nullopt;
}

void FinishHeldFile(HeldFile& held, const Digest& whole, const Digest& art,
                    const RowOptions& options, RowTools& tools, RowOutput& out) {
  SetDigests(held.Facts, whole, art);
  AddRow(out, ArtRow(held.Path, held.Facts, options, tools, HeldArt({held.Bytes.get(), held.Size})),
         options);
}

void CatalogRows(const std::string& path, const RowOptions& options, RowTools& tools,
                 RowOutput& out) {
  std::optional<HeldFile> held = StartFileRows(path, options, tools, out);
  if (!held) return;
  DigestHeld(held->Facts, {held->Bytes.get(), held->Size});
  AddRow(out,
         ArtRow(held->Path, held->Facts, options, tools, HeldArt({held->Bytes.get(), held->Size})),
         options);
}

}  // namespace tintrel
