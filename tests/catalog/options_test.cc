// SPDX-License-Identifier: MIT
#include "catalog/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tintrel {
namespace {

// The options as one line of text, so each case reads as one comparison.
std::string Summary(const CatalogOptions& o) {
  std::string text = o.Format == TableFormat::Csv         ? "csv"
                     : o.Format == TableFormat::JsonLines ? "jsonl"
                                                          : "sqlite";
  text += " j" + std::to_string(o.Jobs) + " out=" + o.OutputPath + " list=" + o.FilesFrom;
  if (o.NulSeparated) text += " -0";
  if (o.Follow) text += " -L";
  if (!o.OpenPacks) text += " no-packs";
  if (o.Update) text += " update";
  if (o.PackLimit != uint64_t{4} << 30) text += " limit=" + std::to_string(o.PackLimit);
  if (o.ShowProgress != CatalogOptions::Progress::WhenTerminal)
    text += o.ShowProgress == CatalogOptions::Progress::On ? " progress" : " quiet";
  if (!o.ThumbnailDir.empty()) text += " pictures=" + o.ThumbnailDir;
  if (o.ThumbnailWidth != 320) text += " wide=" + std::to_string(o.ThumbnailWidth);
  if (!o.PagePath.empty()) text += " page=" + o.PagePath;
  for (const std::string& path : o.Paths) text += " [" + path + "]";
  return text;
}

TEST(CatalogOptions, ShortLongAttachedAndSeparateValues) {
  struct Case {
    std::vector<std::string> args;
    std::string parsed;  // or the error
  } cases[] = {
      {{"art"}, "csv j0 out= list= [art]"},
      {{"-j4", "-f", "jsonl", "-o", "t.csv", "a", "b"}, "jsonl j4 out=t.csv list= [a] [b]"},
      {{"--jobs=2", "--format", "csv", "--output=x", "a"}, "csv j2 out=x list= [a]"},
      {{"-0L", "--files-from", "-", "--no-progress"}, "csv j0 out= list=- -0 -L quiet"},
      {{"a", "--progress", "-fjsonl"}, "jsonl j0 out= list= progress [a]"},
      {{"--", "-r", "-"}, "csv j0 out= list= [-r] [-]"},
      {{}, "no path given"},
      {{"-j", "0", "a"}, "--jobs takes a whole number from 1 to 1024, not '0'"},
      {{"-j", "4x", "a"}, "--jobs takes a whole number from 1 to 1024, not '4x'"},
      {{"-f", "xml", "a"}, "unknown format 'xml': csv, jsonl or sqlite"},
      {{"-fsqlite", "--update", "-o", "a.db", "a"}, "sqlite j0 out=a.db list= update [a]"},
      {{"-f", "sqlite", "a"}, "-f sqlite needs -o FILE: a database cannot go to standard output"},
      {{"--update", "-o", "a.csv", "a"},
       "--update needs -f sqlite: only a database is kept up to date"},
      {{"-x", "a"}, "unknown option '-x'"},
      {{"--bogus", "a"}, "unknown option '--bogus'"},
      {{"--follow=yes", "a"}, "--follow takes no value"},
      {{"a", "-o"}, "--output needs a value"},
      {{"--no-packs", "--pack-limit", "512M", "a"},
       "csv j0 out= list= no-packs limit=536870912 [a]"},
      {{"--pack-limit=1000", "a"}, "csv j0 out= list= limit=1000 [a]"},
      {{"--pack-limit=2t", "a"}, "csv j0 out= list= limit=2199023255552 [a]"},
      {{"--pack-limit=0", "a"}, "--pack-limit takes a size such as 4G, 512M or 1000000, not '0'"},
      {{"--pack-limit=4X", "a"}, "--pack-limit takes a size such as 4G, 512M or 1000000, not '4X'"},
      {{"--pack-limit=G", "a"}, "--pack-limit takes a size such as 4G, 512M or 1000000, not 'G'"},
      {{"--thumbnails", "t", "--html=g.html", "a"}, "csv j0 out= list= pictures=t page=g.html [a]"},
      {{"--thumbnail-width=0", "a"}, "csv j0 out= list= wide=0 [a]"},
      {{"--thumbnail-width", "4097", "a"},
       "--thumbnail-width takes a whole number from 0 to 4096, not '4097'"},
      {{"--thumbnails=", "a"}, "the --thumbnails folder name is empty"},
      {{"--pack-limit=16777216T", "a"},
       "--pack-limit takes a size such as 4G, 512M or 1000000, not '16777216T'"},
  };
  for (const Case& c : cases) {
    CatalogOptions options;
    const std::string error = ParseCatalogOptions(c.args, options);
    EXPECT_EQ(error.empty() ? Summary(options) : error, c.parsed) << testing::PrintToString(c.args);
  }
}

TEST(CatalogOptions, HelpFitsIn80Columns) {
  const std::string help = CatalogHelp();
  for (std::size_t at = 0, end; at < help.size(); at = end + 1) {
    end = help.find('\n', at);
    EXPECT_LE(end - at, 80u) << help.substr(at, end - at);
  }
}

}  // namespace
}  // namespace tintrel
