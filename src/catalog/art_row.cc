// SPDX-License-Identifier: MIT
#include "catalog/art_row.h"

#include <cstring>

#include "analysis/color_statistics.h"
#include "catalog/screen_columns.h"
#include "text/name_key.h"

namespace tintrel {

namespace {

Field OptionalNumber(const std::optional<uint16_t>& number) {
  return number ? NumberField(*number) : Field{};
}

Field OptionalText(const std::optional<std::string_view>& text) {
  return text ? TextField(std::string(*text)) : Field{};
}

// The key a name is compared by; NULL for a name with nothing to compare.
Field KeyField(std::string_view name) {
  std::string key = NameKey(name);
  return key.empty() ? Field{} : TextField(std::move(key));
}

// A type's name from the tables, or its number where the tables have none.
Field TypeField(std::string_view name, uint8_t number) {
  return TextField(name.empty() ? std::to_string(number) : std::string(name));
}

// The colour columns of a scan, or of a format's own cells charged as a scan charges them.
void FillColors(Row& row, const ScanState& scan) {
  const ColorStatistics stats = ComputeColorStatistics(scan);
  std::string words;
  for (uint8_t color : NamedColors(stats)) {
    if (!words.empty()) words += ' ';
    words += kColorWords[color];
  }
  row[Col("colors")] = TextField(words);
  // The shares of blue to gray, by colour number 1 to 7.
  static constexpr std::array<std::size_t, 8> kShare = {
      0,          Col("blue"),    Col("green"),  Col("cyan"),
      Col("red"), Col("magenta"), Col("yellow"), Col("gray")};
  for (const ColorTally& tally : stats.Ranked) {
    if (tally.Color != 0) row[kShare[tally.Color]] = NumberField(tally.Percent);
  }
  row[Col("colors_used")] = NumberField(stats.ColorsUsed);
  row[Col("total_chars")] = NumberField(stats.ColorTotal);
  row[Col("low_ascii")] = NumberField(LowAsciiPercent(scan));
  row[Col("high_ascii")] = NumberField(HighAsciiPercent(scan));
  row[Col("verdict")] = TextField(std::string(Verdict(scan)));
}

// What is not art has only its size and digest: no art digest, colours or screen.
void FillScan(Row& row, const ArtFacts& facts) {
  const Analysis& analysis = facts.Scanned;
  row[Col("size")] = NumberField(static_cast<int64_t>(analysis.FileSize));
  row[Col("md5")] = TextField(DigestToHex(analysis.FileMd5));
  row[Col("format")] = TextField(std::string(FormatName(facts.Format)));
  if (!IsArt(facts.Format)) return;
  row[Col("art_md5")] = TextField(DigestToHex(analysis.ArtMd5));
  if (facts.Print.Md5) {
    row[Col("screen_md5")] = TextField(DigestToHex(*facts.Print.Md5));
    row[Col("screen_sig")] = TextField(SigToHex(facts.Print.Sig));
  }
  FillColors(row, facts.OwnCells ? facts.Tally : analysis.Scan);
}

void FillSauce(Row& row, const SauceInfo& info) {
  row[Col("sauce")] = FlagField(info.Present);
  if (!info.Present) return;
  row[Col("title")] = TextField(info.Title);
  row[Col("author")] = TextField(info.Author);
  row[Col("author_key")] = KeyField(info.Author);
  row[Col("group")] = TextField(info.Group);
  row[Col("group_key")] = KeyField(info.Group);
  row[Col("date")] = TextField(info.Date);
  row[Col("date_iso")] = info.DateIso.empty() ? Field{} : TextField(info.DateIso);
  row[Col("sauce_version")] = TextField(info.Version);
  row[Col("file_size")] = NumberField(info.FileSize);
  row[Col("data_type")] = TypeField(info.DataTypeName, info.DataType);
  row[Col("file_type")] = TypeField(info.FileTypeName, info.FileType);
  row[Col("width")] = OptionalNumber(info.Width);
  row[Col("lines")] = OptionalNumber(info.Lines);
  static constexpr std::array<std::size_t, 4> kTInfo = {Col("tinfo1"), Col("tinfo2"), Col("tinfo3"),
                                                        Col("tinfo4")};
  static_assert(std::tuple_size_v<decltype(info.TInfo)> == kTInfo.size());
  for (std::size_t i = 0; i < kTInfo.size(); ++i) row[kTInfo[i]] = NumberField(info.TInfo[i]);
  row[Col("ice_colors")] = info.IceColors ? FlagField(*info.IceColors) : Field{};
  row[Col("letter_spacing")] = OptionalText(info.LetterSpacing);
  row[Col("aspect_ratio")] = OptionalText(info.AspectRatio);
  row[Col("font")] = TextField(info.Font);
  row[Col("comments")] = ListField(info.Comments, '\n');
  row[Col("sauce_warnings")] = ListField({info.Warnings.begin(), info.Warnings.end()}, ' ');
}

}  // namespace

Row ErrorRow(const std::string& path, const std::string& error) {
  Row row;
  row[Col("path")] = TextField(path);
  row[Col("error")] = TextField(error);
  return row;
}

Row ArtRow(const std::string& path, const ArtFacts& facts, const RowOptions& options,
           RowTools& tools, const ArtAgain& again) {
  if (const std::optional<Fault>& fault = ReadFault(facts))
    return ErrorRow(path, FaultText("cannot read", *fault));
  if (facts.FormatFault) {
    const std::string format(FormatName(facts.Format));
    Row row = ErrorRow(path, "not readable as " + format + ": " + facts.FormatFault->Message);
    row[Col("format")] = TextField(format);
    return row;
  }
  Row row;
  row[Col("path")] = TextField(path);
  FillScan(row, facts);
  FillSauce(row, facts.Sauce);
  if (HasScreen(facts.Format)) FillScreen(row, facts.Shown, facts.Sauce, facts.Font.Height != 0);
  if (options.Pictures != nullptr)
    ShelvePicture(*options.Pictures, tools.Pictures, row, facts, again);
  return row;
}

void SetPackColumns(Row& row, const std::string& pack, const std::string& member) {
  row[Col("pack")] = TextField(pack);
  if (!member.empty()) row[Col("member")] = TextField(member);
}

std::string FaultText(const char* what, const Fault& fault) {
  // A pack's member says itself what is wrong with it.
  if (fault.Kind == "PackError") return fault.Message;
  return std::string(what) + ": " + std::strerror(fault.ErrorNumber);
}

}  // namespace tintrel
