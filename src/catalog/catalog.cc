// SPDX-License-Identifier: MIT
#include "catalog/catalog.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "catalog/compare.h"
#include "catalog/database.h"
#include "catalog/gallery_page.h"
#include "catalog/messages.h"
#include "catalog/options.h"
#include "catalog/picture_folder.h"
#include "catalog/pictures.h"
#include "catalog/pipeline.h"
#include "catalog/run_output.h"
#include "catalog/table_file.h"
#include "catalog/walk.h"
#include "text/shown_name.h"

namespace tintrel {

namespace {

int64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * 1'000'000'000 + now.tv_nsec;
}

// The picture options as the database keeps them: the thumbnails' folder alone while the rest are
// as they were before full-size pictures, so that an update knows rows made otherwise.
std::string PictureSettings(const CatalogOptions& options) {
  std::string settings = options.ThumbnailDir;
  if (!options.PictureDir.empty() || options.PictureScale != 1 || !options.Aspect ||
      options.ThumbnailWidth != CatalogOptions{}.ThumbnailWidth)
    settings += "\n--thumbnail-width " + std::to_string(options.ThumbnailWidth) + " --pictures " +
                options.PictureDir + " --picture-scale " + std::to_string(options.PictureScale) +
                (options.Aspect ? "" : " --no-aspect");
  return settings;
}

// The gallery page's part of a run, when it has one: its records go as the rows do.
bool PutPage(RunOutput* page, const RowOutput& made, Messages& messages) {
  return page == nullptr || WriteRunRows(*page, made.PageSpill, made.Page, messages);
}

// The run into a SQLite database: a new one beside FILE, renamed into place when whole, or with
// --update the database at FILE changed in one transaction. False when the database is not whole.
bool CatalogIntoDatabase(const CatalogOptions& options, WalkPlan& plan, RowOptions& rows,
                         RunOutput* page, Messages& messages, std::string& walk_failure,
                         std::optional<UpdateCounts>& update) {
  const std::string& path = options.OutputPath;
  bool holds_rows = false;
  if (std::string refusal = CheckDatabaseFile(path, holds_rows); !refusal.empty()) {
    Say(messages, refusal);
    return false;
  }
  const DatabaseSettings settings{TINTREL_VERSION, options.OpenPacks, options.PackLimit,
                                  PictureSettings(options), NowNs()};
  Database db;
  TableFile table;
  // A noted signal ends the run once what it changed is undone; after the commit there is nothing
  // to undo, and the database is the new one.
  const auto end_if_interrupted = [&] {
    if (!Interrupted()) return;
    CloseDatabase(db);
    EndByInterrupt();
  };
  std::string error, note;
  if (options.Update && holds_rows) {
    NoteInterrupts();
    error = UpdateDatabase(db, path, settings, note);
    rows.Earlier = &db.Earlier;
  } else {
    error = OpenTableFile(table, path);
    if (error.empty()) error = CreateDatabase(db, path, table.TempPath, settings);
    plan.Written.push_back(table.TempPath);
  }
  if (!note.empty()) Say(messages, note);
  if (!error.empty()) Say(messages, error);
  end_if_interrupted();
  if (!error.empty()) return false;

  const auto put = [&](const RowOutput& made) {
    try {
      StoreRows(db, made);
    } catch (const Fault& fault) {
      Say(messages, WriteFailure(path, fault));
      return false;
    }
    if (!made.Kept || page == nullptr) return PutPage(page, made, messages);
    // The page shows every file: those kept as the database holds them, a row at a time.
    bool shown = true;
    try {
      ReadKeptRows(db, made.Path, [&](const Row& row) {
        shown = shown && WriteRunOutput(*page, PageRecord(row), messages);
      });
    } catch (const Fault& fault) {
      Say(messages, "cannot read " + ShownName(path) + ": " + DatabaseReason(fault));
      return false;
    }
    return shown;
  };
  const RowSink sink{put, [&] { return LoadEarlierFiles(db); }, [&] { CloseDatabase(db); }};
  bool written = RunPipeline(plan, rows, options.Jobs, sink, messages, walk_failure);
  end_if_interrupted();
  // A run that could not walk all it was given keeps the earlier database: its files would be gone.
  if (written && walk_failure.empty()) {
    error = FinishDatabase(db);
    if (error.empty() && !db.InPlace) error = CommitTableFile(table);
    if (!error.empty()) Say(messages, error);
    written = error.empty();
  }
  end_if_interrupted();
  if (written && db.InPlace) update = db.Counts;
  return written;
}

// After an update: the copies of art the whole database holds, and the pictures that no row
// names any more removed from each pictures' folder. Returns how many were.
uint64_t TidyPictures(const CatalogOptions& options, Messages& messages) {
  // The columns that name pictures, and their folders. A name either column gives stays in
  // both folders, which may be one.
  constexpr std::string_view kColumnsNaming[] = {"thumbnail"};
  const std::string folders[] = {options.ThumbnailDir};
  DatabaseFacts facts;
  if (std::string error = ReadDatabaseFacts(options.OutputPath, kColumnsNaming, facts);
      !error.empty()) {
    Say(messages, error);
    return 0;
  }
  messages.Copies = facts.Copies;
  uint64_t removed = 0;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string failure;
    removed += RemoveOrphanPictures(folder, facts.Pictures, failure);
    if (!failure.empty()) Say(messages, failure);
  }
  return removed;
}

// The run into a CSV or JSON Lines table; false when the table is not whole.
bool CatalogIntoTable(const CatalogOptions& options, WalkPlan& plan, const RowOptions& rows,
                      RunOutput* page, Messages& messages, std::string& walk_failure) {
  RunOutput table;
  if (!OpenRunOutput(table, options.OutputPath, messages)) return false;
  plan.Written.push_back(table.File.TempPath);
  if (!WriteRunOutput(table, TableHeader(options.Format), messages)) return false;
  const auto put = [&](const RowOutput& made) {
    return WriteRunRows(table, made.TextSpill, made.Text, messages) &&
           PutPage(page, made, messages);
  };
  const bool written = RunPipeline(plan, rows, options.Jobs, RowSink{put}, messages, walk_failure);
  // A table of only the files walked before the list failed does not replace an earlier one.
  return written && walk_failure.empty() && FinishRunOutput(table, messages);
}

// The run's status: 2 when the table is not whole, 1 when it has error rows.
int Status(Messages& messages, bool written, const std::string& walk_failure) {
  if (!walk_failure.empty()) Say(messages, walk_failure);
  if (!written || !walk_failure.empty()) return 2;
  return messages.Errors > 0 ? 1 : 0;
}

}  // namespace

int RunCatalog(int argc, const char* const* argv) {
  CatalogOptions options;
  if (std::string error = ParseCatalogOptions({argv + 1, argv + argc}, options); !error.empty())
    return UsageError(error);
  if (options.Help) {
    const std::string help = CatalogHelp();
    return write(STDOUT_FILENO, help.data(), help.size()) == ssize_t(help.size()) ? 0 : 2;
  }
  if (options.Version) {
    const std::string version = "tintrel-catalog (Hueprobe) " TINTREL_VERSION "\n";
    return write(STDOUT_FILENO, version.data(), version.size()) == ssize_t(version.size()) ? 0 : 2;
  }

  WalkPlan plan;
  plan.Paths = options.Paths;
  plan.ListName = options.FilesFrom;
  plan.NulSeparated = options.NulSeparated;
  plan.Follow = options.Follow;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> list(nullptr, std::fclose);
  if (options.FilesFrom == "-") {
    plan.List = stdin;
    plan.ListName = "standard input";
  } else if (!options.FilesFrom.empty()) {
    list.reset(std::fopen(options.FilesFrom.c_str(), "rbe"));
    if (!list)
      return UsageError("cannot read " + ShownName(options.FilesFrom) + ": " +
                        std::strerror(errno));
    plan.List = list.get();
  }
  RowOptions rows;
  rows.Format = options.Format;
  rows.OpenPacks = options.OpenPacks;
  rows.Limits.ExpandedBytes = options.PackLimit;
  Messages messages;
  messages.ShowProgress =
      options.ShowProgress == CatalogOptions::Progress::On ||
      (options.ShowProgress == CatalogOptions::Progress::WhenTerminal && isatty(STDERR_FILENO) &&
       // A table shown on the terminal is its own progress; a line between its rows would mar it.
       !(options.OutputPath.empty() && isatty(STDOUT_FILENO)));

  PictureShelf pictures;
  pictures.Folder = options.ThumbnailDir;
  pictures.Width = options.ThumbnailWidth;
  pictures.FullFolder = options.PictureDir;
  pictures.Scale = options.PictureScale;
  pictures.Aspect = options.Aspect;
  for (const std::string* folder : {&options.ThumbnailDir, &options.PictureDir}) {
    if (folder->empty()) continue;
    if (!MakePictureFolder(*folder, messages)) return 2;
    plan.Written.push_back(*folder);
    rows.Pictures = &pictures;
  }
  std::optional<RunOutput> page;
  if (!options.PagePath.empty()) {
    if (!OpenRunOutput(page.emplace(), options.PagePath, messages)) return 2;
    plan.Written.push_back(page->File.TempPath);
    rows.Page = true;
    if (!WriteRunOutput(*page,
                        PageHead(PicturesFromPage(options.ThumbnailDir, options.PagePath),
                                 PicturesFromPage(".", options.PagePath)),
                        messages))
      return 2;
  }

  std::string walk_failure;
  if (!options.ComparePath.empty()) {
    const bool compared =
        CompareWithDatabase(options.ComparePath, plan, rows, options.Jobs, messages, walk_failure);
    ShowProgress(messages, true);
    return Status(messages, compared, walk_failure);
  }
  RunOutput* page_output = page ? &*page : nullptr;
  std::optional<UpdateCounts> update;
  bool written =
      options.Format == TableFormat::Sqlite
          ? CatalogIntoDatabase(options, plan, rows, page_output, messages, walk_failure, update)
          : CatalogIntoTable(options, plan, rows, page_output, messages, walk_failure);
  written =
      written &&
      (!page || (WriteRunOutput(*page, PageTail(), messages) && FinishRunOutput(*page, messages)));
  if (!pictures.Failure.empty()) {
    Say(messages, pictures.Failure + "; no more pictures were made");
    written = false;
  }
  ShowProgress(messages, true);  // all done, of all walked
  const uint64_t removed = written && update ? TidyPictures(options, messages) : 0;
  // An update always tells what it did; another run sums itself up where it shows its progress.
  if (written && walk_failure.empty() && (update || messages.ShowProgress)) {
    RunTotals totals;
    totals.Paths = messages.Paths;
    totals.Files = messages.Files;
    totals.Bytes = messages.Bytes;
    totals.Errors = messages.Errors;
    totals.Copies = messages.Copies;
    totals.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - messages.Started).count();
    totals.Update = update;
    totals.Pictures = rows.Pictures != nullptr;
    totals.PicturesDrawn = pictures.Drawn;
    totals.PicturesRemoved = removed;
    Say(messages, SummaryLine(totals));
  } else if (messages.ProgressOnScreen) {
    WriteToStderr("\n");
  }
  return Status(messages, written, walk_failure);
}

}  // namespace tintrel
