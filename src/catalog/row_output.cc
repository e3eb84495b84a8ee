// SPDX-License-Identifier: MIT
#include "catalog/row_output.h"

#include <charconv>

#include "catalog/gallery_page.h"

namespace tintrel {

void AddRow(RowOutput& out, const Row& row, const RowOptions& options, std::optional<RowMark> at) {
  const RowMark place = at.value_or(RowPlace(out));
  InsertRows(out.TextSpill, out.Text, place.Text, FormatRow(row, options.Format));
  if (options.Page) InsertRows(out.PageSpill, out.Page, place.Page, PageRecord(row));
  if (const Field& error = row[Col("error")]; !error.Value.empty())
    NoteError(out.Errors, out.UnnamedErrors, static_cast<std::size_t>(place.Errors),
              {row[Col("path")].Value, error.Value});
  SpillPast(out.TextSpill, out.Text);
  SpillPast(out.PageSpill, out.Page);
  if (const Field& art = row[Col("art_md5")]; art.Type == Field::kText && art.Value.size() >= 16) {
    uint64_t first = 0;
    std::from_chars(art.Value.data(), art.Value.data() + 16, first, 16);
    out.Arts.push_back(first);
  }
  ++out.Rows;
  out.Bytes += static_cast<uint64_t>(row[Col("size")].Number);
}

}  // namespace tintrel
