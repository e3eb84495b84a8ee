// SPDX-License-Identifier: MIT
#include "catalog/row_output.h"

#include "catalog/gallery_page.h"

namespace tintrel {

void AddRow(RowOutput& out, const Row& row, const RowOptions& options, std::optional<RowMark> at) {
  const RowMark place = at.value_or(RowPlace(out));
  out.Text.insert(place.Text, FormatRow(row, options.Format));
  if (options.Page) out.Page.insert(place.Page, PageRecord(row));
  if (const Field& error = row[Col("error")]; !error.Value.empty())
    out.Errors.insert(out.Errors.begin() + static_cast<std::ptrdiff_t>(place.Errors),
                      {row[Col("path")].Value, error.Value});
  ++out.Rows;
  out.Bytes += static_cast<uint64_t>(row[Col("size")].Number);
}

}  // namespace tintrel
