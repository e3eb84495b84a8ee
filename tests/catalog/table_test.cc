// SPDX-License-Identifier: MIT
#include "catalog/table.h"

#include <gtest/gtest.h>

#include <string>

namespace tintrel {
namespace {

// Stored tables and databases hold the columns in this order and of these types: a column is only
// ever added, with a new database version, never moved.
TEST(Table, ColumnsStandInTheirStoredOrder) {
  using enum ColumnType;
  const Column stored[] = {
      {"path", kText},
      {"pack", kText},
      {"member", kText},
      {"size", kInteger},
      {"md5", kText},
      {"art_md5", kText},
      {"screen_md5", kText},
      {"screen_sig", kText},
      {"colors", kText},
      {"blue", kInteger},
      {"green", kInteger},
      {"cyan", kInteger},
      {"red", kInteger},
      {"magenta", kInteger},
      {"yellow", kInteger},
      {"gray", kInteger},
      {"black_area", kInteger},
      {"blue_area", kInteger},
      {"green_area", kInteger},
      {"cyan_area", kInteger},
      {"red_area", kInteger},
      {"magenta_area", kInteger},
      {"yellow_area", kInteger},
      {"gray_area", kInteger},
      {"colors_used", kInteger},
      {"total_chars", kInteger},
      {"low_ascii", kInteger},
      {"high_ascii", kInteger},
      {"verdict", kText},
      {"format", kText},
      {"screen_width", kInteger},
      {"screen_lines", kInteger},
      {"charset", kText},
      {"ice", kFlag},
      {"extended_colors", kFlag},
      {"frames", kInteger},
      {"fg16", kText},
      {"bg16", kText},
      {"sauce", kFlag},
      {"title", kText},
      {"author", kText},
      {"author_key", kText},
      {"group", kText},
      {"group_key", kText},
      {"date", kText},
      {"date_iso", kText},
      {"sauce_version", kText},
      {"file_size", kInteger},
      {"data_type", kText},
      {"file_type", kText},
      {"width", kInteger},
      {"lines", kInteger},
      {"tinfo1", kInteger},
      {"tinfo2", kInteger},
      {"tinfo3", kInteger},
      {"tinfo4", kInteger},
      {"ice_colors", kFlag},
      {"letter_spacing", kText},
      {"aspect_ratio", kText},
      {"font", kText},
      {"comments", kText},
      {"sauce_warnings", kText},
      {"thumbnail", kText},
      {"picture", kText},
      {"error", kText},
  };
  ASSERT_EQ(std::size(stored), kColumns.size());
  std::string header;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    EXPECT_EQ(kColumns[i].Name, stored[i].Name) << "column " << i;
    EXPECT_EQ(kColumns[i].Type, stored[i].Type) << stored[i].Name;
    header += std::string(i == 0 ? "" : ",") + std::string(stored[i].Name);
  }
  EXPECT_EQ(TableHeader(TableFormat::Csv), header + "\n");
}

}  // namespace
}  // namespace tintrel
