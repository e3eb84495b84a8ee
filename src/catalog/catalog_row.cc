// SPDX-License-Identifier: MIT
#include "catalog/catalog_row.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "analysis/analysis.h"
#include "analysis/color_statistics.h"
#include "catalog/screen_columns.h"
#include "meta/sauce_info.h"

namespace tintrel {

namespace {

constexpr std::size_t kPath = ColumnIndex("path");
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

Row CatalogRow(const std::string& path, TokenCache& cache, Screen& screen) {
  // A pipe or a device is not opened at all: opening may wait or act on the device.
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return ErrorRow(path, Reason("cannot open", errno));
  if (!S_ISREG(status.st_mode)) return ErrorRow(path, "not a regular file");
  FileHandle file = OpenForReading(path, O_NONBLOCK);
  if (!file.IsOpen()) return ErrorRow(path, Reason("cannot open", errno));
  if (RegularFileSize(file) < 0) return ErrorRow(path, "not a regular file");
  if (!LockShared(file)) return ErrorRow(path, "locked by another process");

  SauceInfo info;
  try {
    info = ReadSauceInfo(file, path);
  } catch (const Fault& fault) {
    return ErrorRow(path, Reason("cannot read", fault.ErrorNumber));
  }
  Analysis analysis;
  analysis.Name = path;
  analysis.Opened = true;
  ResetScreen(screen, ScreenWidthFor(info));
  // Every core has a file of its own already.
  ScanAndDigest(analysis, file, {}, DigestThread::Never, &cache, &screen);
  for (const std::optional<Fault>& fault : {analysis.ScanFault, analysis.DigestFault}) {
    if (fault) return ErrorRow(path, Reason("cannot read", fault->ErrorNumber));
  }
  try {
    CloseFile(file, path);
  } catch (const Fault& fault) {
    return ErrorRow(path, Reason("cannot close", fault.ErrorNumber));
  }
  Row row;
  row[kPath] = TextField(path);
  FillScan(row, analysis);
  FillSauce(row, info);
  FillScreen(row, SummarizeScreen(screen), info);
  return row;
}

const std::string& RowError(const Row& row) {
  return row[kError].Value;
}

uint64_t RowSize(const Row& row) {
  return static_cast<uint64_t>(row[kSize].Number);
}

}  // namespace tintrel
