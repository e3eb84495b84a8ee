// SPDX-License-Identifier: MIT
#include "catalog/catalog_row.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "analysis/color_statistics.h"
#include "catalog/gallery_page.h"
#include "catalog/pack_rows.h"
#include "catalog/screen_columns.h"
#include "catalog/split_volume.h"
#include "io/long_path.h"
#include "packs/pack_format.h"

namespace tintrel {

namespace {

constexpr std::size_t kPath = ColumnIndex("path");
constexpr std::size_t kPack = ColumnIndex("pack");
constexpr std::size_t kMember = ColumnIndex("member");
constexpr std::size_t kSize = ColumnIndex("size");
constexpr std::size_t kBlue = ColumnIndex("blue");
constexpr std::size_t kSauce = ColumnIndex("sauce");
constexpr std::size_t kError = ColumnIndex("error");

std::string Reason(const char* what, int error_number) {
  return std::string(what) + ": " + std::strerror(error_number);
}

Field OptionalNumber(const std::optional<uint16_t>& number) {
  return number ? NumberField(*number) : Field{};
}

Field OptionalText(const std::optional<std::string_view>& text) {
  return text ? TextField(std::string(*text)) : Field{};
}

// A type's name from the tables, or its number where the tables have none.
Field TypeField(std::string_view name, uint8_t number) {
  return TextField(name.empty() ? std::to_string(number) : std::string(name));
}

void FillScan(Row& row, const Analysis& analysis) {
  const ColorStatistics stats = ComputeColorStatistics(analysis.Scan);
  std::string words;
  for (uint8_t color : NamedColors(stats)) {
    if (!words.empty()) words += ' ';
    words += kColorWords[color];
  }
  std::size_t at = kSize;
  row[at++] = NumberField(static_cast<int64_t>(analysis.FileSize));
  row[at++] = TextField(DigestToHex(analysis.FileMd5));
  row[at++] = TextField(DigestToHex(analysis.ArtMd5));
  row[at++] = TextField(words);
  // Blue to gray, in colour order.
  for (const ColorTally& tally : stats.Ranked) {
    if (tally.Color != 0) row[kBlue + tally.Color - 1] = NumberField(tally.Percent);
  }
  at = kBlue + 7;
  row[at++] = NumberField(stats.ColorsUsed);
  row[at++] = NumberField(stats.ColorTotal);
  row[at++] = NumberField(LowAsciiPercent(analysis.Scan));
  row[at++] = NumberField(HighAsciiPercent(analysis.Scan));
  row[at++] = TextField(std::string(Verdict(analysis.Scan)));
}

void FillSauce(Row& row, const SauceInfo& info) {
  std::size_t at = kSauce;
  row[at++] = FlagField(info.Present);
  if (!info.Present) return;
  row[at++] = TextField(info.Title);
  row[at++] = TextField(info.Author);
  row[at++] = TextField(info.Group);
  row[at++] = TextField(info.Date);
  row[at++] = info.DateIso.empty() ? Field{} : TextField(info.DateIso);
  row[at++] = TextField(info.Version);
  row[at++] = NumberField(info.FileSize);
  row[at++] = TypeField(info.DataTypeName, info.DataType);
  row[at++] = TypeField(info.FileTypeName, info.FileType);
  row[at++] = OptionalNumber(info.Width);
  row[at++] = OptionalNumber(info.Lines);
  for (uint16_t number : info.TInfo) row[at++] = NumberField(number);
  row[at++] = info.IceColors ? FlagField(*info.IceColors) : Field{};
  row[at++] = OptionalText(info.LetterSpacing);
  row[at++] = OptionalText(info.AspectRatio);
  row[at++] = TextField(info.Font);
  row[at++] = ListField(info.Comments, '\n');
  row[at++] = ListField({info.Warnings.begin(), info.Warnings.end()}, ' ');
}

}  // namespace

Row ErrorRow(const std::string& path, const std::string& error) {
  Row row;
  row[kPath] = TextField(path);
  row[kError] = TextField(error);
  return row;
}

Row AnalysisRow(const std::string& path, const Analysis& analysis, const SauceInfo& info,
                const ScreenSummary& shown) {
  Row row;
  row[kPath] = TextField(path);
  FillScan(row, analysis);
  FillSauce(row, info);
  FillScreen(row, shown, info);
  return row;
}

void SetPackColumns(Row& row, const std::string& pack, const std::string& member) {
  row[kPack] = TextField(pack);
  if (!member.empty()) row[kMember] = TextField(member);
}

std::string FaultText(const char* what, const Fault& fault) {
  // A pack's member says itself what is wrong with it.
  if (fault.Kind == "PackError") return fault.Message;
  return Reason(what, fault.ErrorNumber);
}

void AddRow(RowOutput& out, const Row& row, const RowOptions& options) {
  InsertRow(out, RowPlace(out), row, options);
}

void InsertRow(RowOutput& out, RowMark at, const Row& row, const RowOptions& options) {
  InsertRows(out.TextSpill, out.Text, at.Text, FormatRow(row, options.Format));
  if (options.Page) InsertRows(out.PageSpill, out.Page, at.Page, PageRecord(row));
  if (!row[kError].Value.empty())
    NoteError(out.Errors, out.UnnamedErrors, static_cast<std::size_t>(at.Errors),
              {row[kPath].Value, row[kError].Value});
  SpillPast(out.TextSpill, out.Text);
  SpillPast(out.PageSpill, out.Page);
  ++out.Rows;
  out.Bytes += static_cast<uint64_t>(row[kSize].Number);
}

bool StartRows(const std::string& path, const RowOptions& options, RowTools& tools, RowOutput& out,
               HeldFile& held) {
  auto fail = [&](const std::string& error) {
    AddRow(out, ErrorRow(path, error), options);
    return false;
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
      return false;
    }
  }
  FileHandle file = OpenLongPath(path, O_NONBLOCK);
  if (!file.IsOpen()) return fail(Reason("cannot open", errno));
  const int64_t size = RegularFileSize(file);
  if (size < 0) return fail("not a regular file");
  if (!LockShared(file)) return fail("locked by another process");

  // A small file is read whole at once: its first bytes tell a pack, its last hold the record.
  if (static_cast<uint64_t>(size) <= kHeldFileSize) {
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
        return false;
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
      held.Scanned = Analysis{};
      held.Scanned.Name = path;
      ScanHeld(held.Scanned, held.Sauce, bytes, &tools.Cache);
      held.Shown = DrawHeld(tools.Drawing, held.Sauce, bytes);
      return true;
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
      return false;
    }
    if (std::string split = SplitZipVolume(path, file, static_cast<uint64_t>(size), {});
        !split.empty())
      return fail(split);
  }

  // The record first, from the end: its width is the screen's.
  SauceInfo info;
  try {
    info = ReadSauceInfo(file, path);
  } catch (const Fault& fault) {
    return fail(FaultText("cannot read", fault));
  }
  Analysis analysis;
  analysis.Name = path;
  analysis.Opened = true;
  ResetScreen(tools.Drawing, ScreenWidthFor(info));
  // Every core has a file of its own already.
  ScanAndDigest(analysis, file, {}, DigestThread::Never, &tools.Cache, &tools.Drawing);
  for (const std::optional<Fault>& fault : {analysis.ScanFault, analysis.DigestFault}) {
    if (fault) return fail(FaultText("cannot read", *fault));
  }
  Row row = AnalysisRow(path, analysis, info, SummarizeScreen(tools.Drawing));
  if (options.Pictures != nullptr) {
    std::array<uint8_t, kPackSignatureSize> head;
    std::size_t got = 0;
    try {
      got = ReadAt(file, head.data(), head.size(), 0, path);
    } catch (const Fault& fault) {
      return fail(FaultText("cannot read", fault));
    }
    ShelveScreenPicture(*options.Pictures, tools.Pictures, row, info, tools.Drawing,
                        {head.data(), got});
  }
  try {
    CloseFile(file, path);
  } catch (const Fault& fault) {
    return fail(FaultText("cannot close", fault));
  }
  AddRow(out, row, options);
  return false;
}

void FinishHeldFile(HeldFile& held, const Digest& whole, const Digest& art,
                    const RowOptions& options, RowTools& tools, RowOutput& out) {
  held.Scanned.FileMd5 = whole;
  held.Scanned.ArtMd5 = art;
  Row row = AnalysisRow(held.Path, held.Scanned, held.Sauce, held.Shown);
  if (options.Pictures != nullptr)
    ShelveHeldPicture(*options.Pictures, tools.Pictures, row, held.Sauce, held.Shown,
                      {held.Bytes.get(), held.Size});
  AddRow(out, row, options);
}

void CatalogRows(const std::string& path, const RowOptions& options, RowTools& tools,
                 RowOutput& out) {
  HeldFile held;
  if (!StartRows(path, options, tools, out, held)) return;
  FileDigest digest;
  DigestBytes(digest, held.Bytes.get(), held.Size);
  const Digest whole = FinishDigest(digest);
  FinishHeldFile(held, whole, digest.Art, options, tools, out);
}

}  // namespace tintrel
