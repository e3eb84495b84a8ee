// SPDX-License-Identifier: MIT
#include "catalog/catalog.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalog/catalog_row.h"
#include "catalog/database.h"
#include "catalog/gallery_page.h"
#include "catalog/options.h"
#include "catalog/table_file.h"
#include "catalog/walk.h"
#include "io/output.h"
#include "meta/md5_lanes.h"
#include "text/shown_name.h"

namespace tintrel {

namespace {

// How far the walk may run ahead of the rows written: it bounds the rows waiting for their turn.
constexpr uint64_t kWindow = 1024;
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

unsigned Processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

void WriteToStderr(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t written = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (written <= 0) return;  // nowhere left to say anything
    done += static_cast<std::size_t>(written);
  }
}

// Standard error: the messages, and the progress line when it is wanted.
struct Messages {
  bool ShowProgress = false;
  bool ProgressOnScreen = false;  // a progress line stands unfinished on the terminal
  std::chrono::steady_clock::time_point LastProgress{};
  uint64_t Files = 0, Bytes = 0, Errors = 0;

  void Say(const std::string& message) {
    WriteToStderr(std::string(ProgressOnScreen ? "\r\x1b[K" : "") + "tintrel-catalog: " + message +
                  "\n");
    ProgressOnScreen = false;
  }

  void Progress(bool last) {
    if (!ShowProgress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - LastProgress < kProgressEvery) return;
    LastProgress = now;
    char line[128];
    std::snprintf(line, sizeof line, "\r%llu files, %.1f MB, %llu errors\x1b[K%s",
                  static_cast<unsigned long long>(Files), static_cast<double>(Bytes) / 1e6,
                  static_cast<unsigned long long>(Errors), last ? "\n" : "");
    WriteToStderr(line);
    ProgressOnScreen = !last;
  }
};

int UsageError(const std::string& message) {
  WriteToStderr("tintrel-catalog: " + message +
                "\nTry 'tintrel-catalog --help' for more information.\n");
  return 2;
}

// Rows travel in batches: the walk hands over this many paths at a time, and a worker takes up to
// this many, so that threads meet under the lock once for several files rather than for each.
constexpr std::size_t kBatch = 16;

// The rows on their way from the walk through the workers to the output, numbered in table order.
struct Pipeline {
  std::mutex Lock;
  std::condition_variable WorkReady;  // paths are waiting, or the walk is over
  std::condition_variable RowReady;   // the next row to write is finished, or all are written
  std::condition_variable Room;       // rows were written: the walk may run further ahead
  std::deque<std::pair<uint64_t, WalkItem>> Waiting;  // walked, not yet taken by a worker
  std::map<uint64_t, RowOutput> Finished;             // analysed, waiting for their turn
  uint64_t Walked = 0;                                // rows numbered so far
  uint64_t Written = 0;  // rows handed to the output, all of those numbered below it
  unsigned Jobs = 1;
  bool WalkOver = false;
  bool Stopped = false;  // the output failed: everyone leaves

  void Stop() {
    std::lock_guard lock(Lock);
    Stopped = true;
    WorkReady.notify_all();
    RowReady.notify_all();
    Room.notify_all();
  }
};

// Thrown into the walk to end it when the run stops early.
struct WalkStopped {};

void HandOver(Pipeline& pipeline, std::vector<WalkItem>& batch) {
  if (batch.empty()) return;
  std::unique_lock lock(pipeline.Lock);
  pipeline.Room.wait(
      lock, [&] { return pipeline.Stopped || pipeline.Walked - pipeline.Written < kWindow; });
  if (pipeline.Stopped) throw WalkStopped{};
  for (WalkItem& item : batch) pipeline.Waiting.emplace_back(pipeline.Walked++, std::move(item));
  batch.clear();
  pipeline.WorkReady.notify_all();
}

void WalkInto(Pipeline& pipeline, const WalkPlan& plan, std::string& walk_failure) {
  std::vector<WalkItem> batch;
  try {
    walk_failure = Walk(plan, [&](WalkItem&& item) {
      batch.push_back(std::move(item));
      if (batch.size() == kBatch) HandOver(pipeline, batch);
    });
    HandOver(pipeline, batch);
  } catch (const WalkStopped&) {
  }
  std::lock_guard lock(pipeline.Lock);
  pipeline.WalkOver = true;
  pipeline.WorkReady.notify_all();
  pipeline.RowReady.notify_all();
}

// A file in the lanes: its row number, its bytes and what is known of it, and the output its row
// goes to, which names the file and its stamp already.
struct DigestedFile {
  uint64_t Number = 0;
  HeldFile Held;
  RowOutput Out;
};

// The files a worker holds while the MD5 lanes digest them, several at once; a lane hands a file
// back as soon as it is done with it, and takes the next.
struct Digesting {
  Md5LaneSet Lanes;
  std::array<DigestedFile, kMaxMd5Lanes> Files;  // by tag
  std::array<Md5Done, kMaxMd5Lanes> Done;
  std::size_t InFlight = 0;
};

// Runs the lanes until a file is done, and makes the rows of each that is.
void CollectDigests(Digesting& digesting, const RowOptions& options, RowTools& tools,
                    std::vector<std::pair<uint64_t, RowOutput>>& finished) {
  const std::size_t count = RunMd5Lanes(digesting.Lanes, digesting.Done);
  for (std::size_t i = 0; i < count; ++i) {
    const Md5Done& done = digesting.Done[i];
    DigestedFile& file = digesting.Files[done.Tag];
    FinishHeldFile(file.Held, done.Whole, done.Prefix, options, tools, file.Out);
    finished.emplace_back(file.Number, std::move(file.Out));
    file.Held.Bytes.reset();
    --digesting.InFlight;
  }
}

void StartDigest(Digesting& digesting, DigestedFile&& file, const RowOptions& options,
                 RowTools& tools, std::vector<std::pair<uint64_t, RowOutput>>& finished) {
  while (FreeMd5Lanes(digesting.Lanes) == 0) CollectDigests(digesting, options, tools, finished);
  std::size_t tag = 0;
  while (digesting.Files[tag].Held.Bytes) ++tag;
  DigestedFile& slot = digesting.Files[tag] = std::move(file);
  AddMd5Job(digesting.Lanes, {slot.Held.Bytes.get(), slot.Held.Size,
                              static_cast<std::size_t>(slot.Held.Scanned.ScannedBytes), tag});
  ++digesting.InFlight;
}

void Work(Pipeline& pipeline, const RowOptions& options) {
  std::vector<std::pair<uint64_t, WalkItem>> taken;
  std::vector<std::pair<uint64_t, RowOutput>> finished;
  auto tools = std::make_unique<RowTools>();
  auto digesting = std::make_unique<Digesting>();
  for (;;) {
    std::unique_lock lock(pipeline.Lock);
    // Files in the lanes finish before the worker waits, so that their rows never wait on it.
    if (digesting->InFlight > 0 && pipeline.Waiting.empty() && !pipeline.Stopped) {
      lock.unlock();
      while (digesting->InFlight > 0) CollectDigests(*digesting, options, *tools, finished);
      lock.lock();
    } else {
      pipeline.WorkReady.wait(
          lock, [&] { return pipeline.Stopped || pipeline.WalkOver || !pipeline.Waiting.empty(); });
      if (pipeline.Stopped || pipeline.Waiting.empty()) return;
      // A fair share of what waits, so that every worker has some while there is enough.
      const std::size_t share = (pipeline.Waiting.size() + pipeline.Jobs - 1) / pipeline.Jobs;
      for (std::size_t i = 0; i < std::min(share, kBatch); ++i) {
        taken.push_back(std::move(pipeline.Waiting.front()));
        pipeline.Waiting.pop_front();
      }
      lock.unlock();
      for (auto& [number, item] : taken) {
        DigestedFile file{number, {}, {}};
        RowOutput& out = file.Out;
        out.Path = std::move(item.Path);
        if (!item.Error.empty()) {
          AddRow(out, ErrorRow(out.Path, item.Error), options);
        } else if (StartRows(out.Path, options, *tools, out, file.Held)) {
          StartDigest(*digesting, std::move(file), options, *tools, finished);
          continue;
        }
        finished.emplace_back(number, std::move(out));
      }
      taken.clear();
      lock.lock();
    }
    for (auto& [number, row] : finished) pipeline.Finished.emplace(number, std::move(row));
    finished.clear();
    if (pipeline.Finished.contains(pipeline.Written)) pipeline.RowReady.notify_one();
  }
}

// Why a write failed, as a message tells it.
std::string WriteFailure(const std::string& name, const Fault& fault) {
  return "cannot write " + ShownName(name) + ": " +
         (fault.ErrorNumber != 0 ? std::strerror(fault.ErrorNumber) : fault.Message);
}

// A file the run writes as the rows come: the table, or the gallery page.
struct RunOutput {
  TableFile File;
  std::unique_ptr<Output> Out = std::make_unique<Output>();
  std::string Name;  // as messages name it

  // Opens the file at `path` (empty: standard output); false, having said why, when it cannot.
  bool Open(const std::string& path, Messages& messages) {
    if (std::string error = OpenTableFile(File, path); !error.empty()) {
      messages.Say(error);
      return false;
    }
    Out->Fd = File.Fd;
    Name = TableName(File);
    return true;
  }

  // False, having said why, when the text cannot be written.
  bool Write(std::string_view text, Messages& messages) {
    try {
      WriteText(*Out, text);
      return true;
    } catch (const Fault& fault) {
      messages.Say(WriteFailure(Name, fault));
      return false;
    }
  }

  // Writes the rows of `text` and those spilled in front of them; false, having said why, when
  // they cannot be read back or written.
  bool WriteRows(const SpilledRows& spill, const std::string& text, Messages& messages) {
    try {
      return ForEachPiece(spill, text,
                          [&](std::string_view rows) { return Write(rows, messages); });
    } catch (const Fault& fault) {
      messages.Say(fault.Message);
      return false;
    }
  }

  // Writes what is left and puts the file in place under its name.
  bool Finish(Messages& messages) {
    try {
      FlushOutput(*Out);
    } catch (const Fault& fault) {
      messages.Say(WriteFailure(Name, fault));
      return false;
    }
    if (std::string error = CommitTableFile(File); !error.empty()) {
      messages.Say(error);
      return false;
    }
    return true;
  }
};

// Where the rows of one walked path go; false, having said why, when they cannot be put there.
using PutRows = std::function<bool(const RowOutput&)>;

// Puts the rows in their order as they are finished; false when an output failed or a noted signal
// asks the run to end.
bool WriteRows(Pipeline& pipeline, const PutRows& put, Messages& messages) {
  for (;;) {
    std::vector<RowOutput> ready;
    {
      std::unique_lock lock(pipeline.Lock);
      pipeline.RowReady.wait_for(lock, kProgressEvery, [&] {
        return pipeline.Finished.contains(pipeline.Written) ||
               (pipeline.WalkOver && pipeline.Written == pipeline.Walked);
      });
      if (Interrupted()) return false;
      if (pipeline.WalkOver && pipeline.Written == pipeline.Walked) return true;
      for (auto next = pipeline.Finished.find(pipeline.Written); next != pipeline.Finished.end();
           next = pipeline.Finished.find(++pipeline.Written)) {
        ready.push_back(std::move(next->second));
        pipeline.Finished.erase(next);
      }
      if (!ready.empty()) pipeline.Room.notify_one();
    }
    for (const RowOutput& rows : ready) {
      if (!put(rows)) return false;
      messages.Files += rows.Rows;
      messages.Bytes += rows.Bytes;
      for (const auto& [path, error] : rows.Errors) {
        ++messages.Errors;
        messages.Say(ShownName(path) + ": " + ShownName(error));
      }
      if (rows.UnnamedErrors > 0) {
        messages.Errors += rows.UnnamedErrors;
        messages.Say(ShownName(rows.Path) + ": " + std::to_string(rows.UnnamedErrors) +
                     " more error rows");
      }
    }
    messages.Progress(false);
  }
}

// Makes the pictures' folder when it is not there; false, having said why, when it cannot be.
bool MakePictureFolder(const std::string& folder, Messages& messages) {
  if (mkdir(folder.c_str(), 0777) == 0) return true;
  const int error = errno;
  if (struct stat status; error == EEXIST && stat(folder.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return true;
    messages.Say("cannot make pictures in " + ShownName(folder) + ": " + std::strerror(ENOTDIR));
    return false;
  }
  messages.Say("cannot make pictures in " + ShownName(folder) + ": " + std::strerror(error));
  return false;
}

// The pictures' folder as the page reaches it: relative to the page's folder, as a URL path.
std::string PicturesFromPage(const std::string& folder, const std::string& page) {
  if (folder.empty()) return "";
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path from = fs::absolute(fs::path(page), error).parent_path();
  fs::path relative = fs::relative(fs::absolute(fs::path(folder), error), from, error);
  if (error || relative.empty()) relative = fs::absolute(fs::path(folder), error);
  std::string url;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : relative.generic_string()) {
    if (std::isalnum(c) || std::strchr("-._~/", c) != nullptr) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url + "/";
}

// What a run needs besides the walk: where rows go, what readies the workers (it runs while the
// walk begins, and returns why it failed), and what undoes the rows put when a noted signal ends
// the run.
struct RowSink {
  PutRows Put;
  std::function<std::string()> Prepare = [] { return std::string(); };
  std::function<void()> Undo = [] {};
};

// Walks, analyses and puts every row; false when they could not all be put. A noted signal ends
// the run here, once what was put is undone.
bool RunPipeline(const WalkPlan& plan, const RowOptions& rows, unsigned jobs, const RowSink& sink,
                 Messages& messages, std::string& walk_failure) {
  Pipeline pipeline;
  std::vector<std::jthread> threads;
  threads.emplace_back([&] { WalkInto(pipeline, plan, walk_failure); });
  if (std::string error = sink.Prepare(); !error.empty()) {
    messages.Say(error);
    pipeline.Stop();
    return false;
  }
  pipeline.Jobs = jobs != 0 ? jobs : Processors();
  for (unsigned i = 0; i < pipeline.Jobs; ++i) threads.emplace_back([&] { Work(pipeline, rows); });
  const bool written = WriteRows(pipeline, sink.Put, messages);
  if (Interrupted()) {
    // The walk may be waiting for a list that never ends: the run ends without joining it.
    sink.Undo();
    EndByInterrupt();
  }
  pipeline.Stop();
  return written;
}

int64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * 1'000'000'000 + now.tv_nsec;
}

// The gallery page's part of a run, when it has one: its records go as the rows do.
bool PutPage(RunOutput* page, const RowOutput& made, Messages& messages) {
  return page == nullptr || page->WriteRows(made.PageSpill, made.Page, messages);
}

// The run into a SQLite database: a new one beside FILE, renamed into place when whole, or with
// --update the database at FILE changed in one transaction. False when the database is not whole.
bool CatalogIntoDatabase(const CatalogOptions& options, WalkPlan& plan, RowOptions& rows,
                         RunOutput* page, Messages& messages, std::string& walk_failure) {
  const std::string& path = options.OutputPath;
  bool holds_rows = false;
  if (std::string refusal = CheckDatabaseFile(path, holds_rows); !refusal.empty()) {
    messages.Say(refusal);
    return false;
  }
  const DatabaseSettings settings{TINTREL_VERSION, options.OpenPacks, options.PackLimit,
                                  options.ThumbnailDir, NowNs()};
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
    // The page shows every file, so with one every file is read again.
    if (page == nullptr) rows.Earlier = &db.Earlier;
  } else {
    error = OpenTableFile(table, path);
    if (error.empty()) error = CreateDatabase(db, path, table.TempPath, settings);
    plan.Written.push_back(table.TempPath);
  }
  if (!note.empty()) messages.Say(note);
  if (!error.empty()) messages.Say(error);
  end_if_interrupted();
  if (!error.empty()) return false;

  const auto put = [&](const RowOutput& made) {
    try {
      StoreRows(db, made);
    } catch (const Fault& fault) {
      messages.Say(WriteFailure(path, fault));
      return false;
    }
    return PutPage(page, made, messages);
  };
  const RowSink sink{put, [&] { return LoadEarlierFiles(db); }, [&] { CloseDatabase(db); }};
  bool written = RunPipeline(plan, rows, options.Jobs, sink, messages, walk_failure);
  end_if_interrupted();
  // A run that could not walk all it was given keeps the earlier database: its files would be gone.
  if (written && walk_failure.empty()) {
    error = FinishDatabase(db);
    if (error.empty() && !db.InPlace) error = CommitTableFile(table);
    if (!error.empty()) messages.Say(error);
    written = error.empty();
  }
  end_if_interrupted();
  return written;
}

// The run into a CSV or JSON Lines table; false when the table is not whole.
bool CatalogIntoTable(const CatalogOptions& options, WalkPlan& plan, const RowOptions& rows,
                      RunOutput* page, Messages& messages, std::string& walk_failure) {
  RunOutput table;
  if (!table.Open(options.OutputPath, messages)) return false;
  plan.Written.push_back(table.File.TempPath);
  if (!table.Write(TableHeader(options.Format), messages)) return false;
  const auto put = [&](const RowOutput& made) {
    return table.WriteRows(made.TextSpill, made.Text, messages) && PutPage(page, made, messages);
  };
  const bool written = RunPipeline(plan, rows, options.Jobs, RowSink{put}, messages, walk_failure);
  // A table of only the files walked before the list failed does not replace an earlier one.
  return written && walk_failure.empty() && table.Finish(messages);
}

// The run's status: 2 when the table is not whole, 1 when it has error rows.
int Status(Messages& messages, bool written, const std::string& walk_failure) {
  if (!walk_failure.empty()) messages.Say(walk_failure);
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
    if (!list) return UsageError("cannot read " + options.FilesFrom + ": " + std::strerror(errno));
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
  if (!options.ThumbnailDir.empty()) {
    if (!MakePictureFolder(options.ThumbnailDir, messages)) return 2;
    plan.Written.push_back(options.ThumbnailDir);
    rows.Pictures = &pictures;
  }
  std::optional<RunOutput> page;
  if (!options.PagePath.empty()) {
    if (!page.emplace().Open(options.PagePath, messages)) return 2;
    plan.Written.push_back(page->File.TempPath);
    rows.Page = true;
    if (!page->Write(PageHead(PicturesFromPage(options.ThumbnailDir, options.PagePath)), messages))
      return 2;
  }

  std::string walk_failure;
  RunOutput* page_output = page ? &*page : nullptr;
  bool written = options.Format == TableFormat::Sqlite
                     ? CatalogIntoDatabase(options, plan, rows, page_output, messages, walk_failure)
                     : CatalogIntoTable(options, plan, rows, page_output, messages, walk_failure);
  written = written && (!page || (page->Write(PageTail(), messages) && page->Finish(messages)));
  if (!pictures.Failure.empty()) {
    messages.Say(pictures.Failure + "; no more pictures were made");
    written = false;
  }
  messages.Progress(true);
  return Status(messages, written, walk_failure);
}

}  // namespace tintrel
