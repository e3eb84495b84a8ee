// SPDX-License-Identifier: MIT
#include "catalog/options.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <string_view>

namespace tintrel {

namespace {

constexpr unsigned kMostJobs = 1024;
constexpr uint32_t kWidestThumbnail = 4096;
constexpr uint32_t kLargestScale = 4;

// A whole number from 0 to `most`, all of `value`.
bool TakeNumber(const std::string& value, uint32_t most, uint32_t& number) {
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  return error == std::errc() && end == value.data() + value.size() && number <= most;
}

// Sets what an option with a value asks for.
std::string TakeValue(std::string_view name, const std::string& value, CatalogOptions& options) {
  if (name == "format") {
    if (value == "csv") {
      options.Format = TableFormat::Csv;
    } else if (value == "jsonl") {
      options.Format = TableFormat::JsonLines;
    } else if (value == "sqlite") {
      options.Format = TableFormat::Sqlite;
    } else {
      return "unknown format '" + value + "': csv, jsonl or sqlite";
    }
  } else if (name == "output") {
    if (value.empty()) return "the output file name is empty";
    options.OutputPath = value;
  } else if (name == "thumbnails") {
    if (value.empty()) return "the --thumbnails folder name is empty";
    options.ThumbnailDir = value;
  } else if (name == "thumbnail-width") {
    if (!TakeNumber(value, kWidestThumbnail, options.ThumbnailWidth))
      return "--thumbnail-width takes a whole number from 0 to " +
             std::to_string(kWidestThumbnail) + ", not '" + value + "'";
  } else if (name == "pictures") {
    if (value.empty()) return "the --pictures folder name is empty";
    options.PictureDir = value;
  } else if (name == "picture-scale") {
    if (!TakeNumber(value, kLargestScale, options.PictureScale) || options.PictureScale == 0)
      return "--picture-scale takes a whole number from 1 to " + std::to_string(kLargestScale) +
             ", not '" + value + "'";
  } else if (name == "compare") {
    if (value.empty()) return "the --compare database name is empty";
    options.ComparePath = value;
  } else if (name == "html") {
    if (value.empty()) return "the --html file name is empty";
    options.PagePath = value;
  } else if (name == "jobs") {
    uint32_t jobs = 0;
    if (!TakeNumber(value, kMostJobs, jobs) || jobs == 0)
      return "--jobs takes a whole number from 1 to " + std::to_string(kMostJobs) + ", not '" +
             value + "'";
    options.Jobs = jobs;
  } else if (name == "pack-limit") {
    // A number of bytes, or of KiB, MiB, GiB or TiB with K, M, G or T after it.
    const std::string problem =
        "--pack-limit takes a size such as 4G, 512M or 1000000, not '" + value + "'";
    uint64_t number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    const std::string_view unit(end, static_cast<std::size_t>(value.data() + value.size() - end));
    constexpr std::string_view kUnits = "KMGT";
    std::size_t power = 0;
    if (!unit.empty()) {
      power = unit.size() == 1 ? kUnits.find(static_cast<char>(std::toupper(unit[0]))) + 1 : 0;
      if (power == 0) return problem;
    }
    if (error != std::errc() || number == 0 || number > (UINT64_MAX >> (10 * power)))
      return problem;
    options.PackLimit = number << (10 * power);
  } else {  // files-from
    if (value.empty()) return "the --files-from file name is empty";
    options.FilesFrom = value;
  }
  return "";
}

// Sets what an option without a value asks for; false when there is no such option.
bool TakeFlag(std::string_view name, CatalogOptions& options) {
  if (name == "null") {
    options.NulSeparated = true;
  } else if (name == "follow") {
    options.Follow = true;
  } else if (name == "progress") {
    options.ShowProgress = CatalogOptions::Progress::On;
  } else if (name == "no-progress") {
    options.ShowProgress = CatalogOptions::Progress::Off;
  } else if (name == "no-packs") {
    options.OpenPacks = false;
  } else if (name == "no-aspect") {
    options.Aspect = false;
  } else if (name == "update") {
    options.Update = true;
  } else if (name == "help") {
    options.Help = true;
  } else if (name == "version") {
    options.Version = true;
  } else {
    return false;
  }
  return true;
}

std::string_view LongName(char letter) {
  switch (letter) {
    case 'f': return "format";
    case 'o': return "output";
    case 'j': return "jobs";
    case '0': return "null";
    case 'L': return "follow";
    case 'h': return "help";
    default: return "";
  }
}

bool TakesValue(std::string_view name) {
  return name == "format" || name == "output" || name == "jobs" || name == "files-from" ||
         name == "pack-limit" || name == "thumbnails" || name == "thumbnail-width" ||
         name == "html" || name == "pictures" || name == "picture-scale" || name == "compare";
}

}  // namespace

std::string ParseCatalogOptions(const std::vector<std::string>& args, CatalogOptions& options) {
  bool only_paths = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_paths || arg.size() < 2 || arg[0] != '-') {
      options.Paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_paths = true;
      continue;
    }
    // "--name", "--name=value", "--name value"; "-x", "-xVALUE", "-x VALUE", "-0L".
    std::vector<std::pair<std::string, std::string>> taken;  // name, and the value if attached
    if (arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      taken.push_back({arg.substr(2, equals - 2), equals == std::string::npos ? "" : "="});
      if (equals != std::string::npos) taken.back().second += arg.substr(equals + 1);
    } else {
      for (std::size_t k = 1; k < arg.size(); ++k) {
        const std::string_view name = LongName(arg[k]);
        if (name.empty()) return "unknown option '-" + std::string(1, arg[k]) + "'";
        if (TakesValue(name) && k + 1 < arg.size()) {
          taken.push_back({std::string(name), "=" + arg.substr(k + 1)});
          break;
        }
        taken.push_back({std::string(name), ""});
      }
    }
    for (auto& [name, attached] : taken) {
      if (!TakesValue(name)) {
        if (!attached.empty()) return "--" + name + " takes no value";
        if (!TakeFlag(name, options)) return "unknown option '" + arg + "'";
        continue;
      }
      std::string value;
      if (!attached.empty()) {
        value = attached.substr(1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return "--" + name + " needs a value";
      }
      if (std::string error = TakeValue(name, value, options); !error.empty()) return error;
    }
  }
  if (options.Help || options.Version) return "";
  if (options.Paths.empty() && options.FilesFrom.empty()) return "no path given";
  if (options.Format == TableFormat::Sqlite && options.OutputPath.empty())
    return "-f sqlite needs -o FILE: a database cannot go to standard output";
  if (!options.PictureDir.empty() && options.PictureDir == options.ThumbnailDir)
    return "--pictures and --thumbnails need folders of their own: their files share names";
  if (!options.ComparePath.empty() &&
      (options.Update || !options.OutputPath.empty() || options.Format != TableFormat::Csv ||
       !options.ThumbnailDir.empty() || !options.PictureDir.empty() || !options.PagePath.empty()))
    return "--compare writes nothing but its lines: it takes no -f, -o, --update, --thumbnails, "
           "--pictures or --html";
  if (options.Update && options.Format != TableFormat::Sqlite)
    return "--update needs -f sqlite: only a database is kept up to date";
  return "";
}

std::string CatalogHelp() {
  return "Usage: tintrel-catalog [options] PATH...\n"
         "Analyse every art file under the PATHs and write one table row per file, as\n"
         "CSV, JSON Lines or a SQLite database: its digests, colours, characters and the\n"
         "whole SAUCE record. A pack gives a row of its own and one per member.\n"
         "\n"
         "  PATH                  a file, or a folder walked recursively (like find\n"
         "                        -type f: symbolic links are not followed unless -L;\n"
         "                        hidden files are included)\n"
         "      --files-from FILE read the paths from FILE (\"-\" for standard input), one\n"
         "                        per line, or NUL-separated with -0\n"
         "  -0, --null            the paths of --files-from end with NUL bytes\n"
         "  -f, --format FORMAT   csv, jsonl, or sqlite: a SQLite database, which needs\n"
         "                        -o (default csv)\n"
         "  -o, --output FILE     write to FILE (default standard output)\n"
         "      --update          with -f sqlite: keep the rows of the files in FILE\n"
         "                        whose size and modification time are unchanged, read\n"
         "                        the others, remove the rows of files no longer found\n"
         "                        and the pictures no row names, and say what changed\n"
         "  -j, --jobs N          files analysed at once (default: the number of\n"
         "                        processors)\n"
         "      --progress, --no-progress\n"
         "                        a progress line on standard error, and a summary at\n"
         "                        the end (default: only when it is a terminal)\n"
         "  -L, --follow          follow symbolic links while walking\n"
         "      --no-packs        read packs (zip, rar, 7z, lha, tar, gzip) as plain\n"
         "                        files rather than opening them\n"
         "      --pack-limit SIZE the bytes one pack may expand to, nested packs\n"
         "                        included (default 4G; K, M, G, T are powers of 1024)\n"
         "      --thumbnails DIR  draw each distinct art once into DIR/ART_MD5.png as a\n"
         "                        viewer shows it: the whole width, its top at most 5/4\n"
         "                        as tall as wide; name it in the thumbnail column\n"
         "      --thumbnail-width N\n"
         "                        thumbnails at most N pixels wide (default 320; 0\n"
         "                        draws one pixel per font pixel)\n"
         "      --pictures DIR    draw each distinct art whole into DIR/ART_MD5.png, one\n"
         "                        pixel per font pixel; name it in the picture column\n"
         "      --picture-scale N full-size pictures N pixels per font pixel (1 to 4;\n"
         "                        default 1)\n"
         "      --no-aspect       square pixels where a record asks for the tall pixels\n"
         "                        of a 4:3 screen (stretched by 1.35, or 1.2 for 8-pixel\n"
         "                        cells)\n"
         "      --html FILE       also write a gallery page of the table to FILE, one\n"
         "                        card a drawing, showing the pictures of --thumbnails\n"
         "      --compare DB      write nothing but a line per file: new, or the closest\n"
         "                        row of the database DB (same file, same art, looks\n"
         "                        the same, near copy)\n"
         "  -h, --help            show this help and exit\n"
         "      --version         show the version and exit\n"
         "\n"
         "Exit status: 0 when every row is clean, 1 when some file could not be\n"
         "analysed, 2 for a usage error or when the output cannot be written.\n";
}

}  // namespace tintrel
