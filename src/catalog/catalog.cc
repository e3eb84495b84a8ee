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
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalog/catalog_row.h"
#include "catalog/gallery_page.h"
#include "catalog/options.h"
#include "catalog/table_file.h"
#include "catalog/walk.h"
#include "io/output.h"
#include "meta/md5_lanes.h"

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

// The files a worker holds while the MD5 lanes digest them, several at once; a lane hands a file
// back as soon as it is done with it, and takes the next.
struct Digesting {
  Md5LaneSet Lanes;
  std::array<std::pair<uint64_t, HeldFile>, kMaxMd5Lanes> Files;  // by tag: row number and file
  std::array<Md5Done, kMaxMd5Lanes> Done;
  std::size_t InFlight = 0;
};

// Runs the lanes until a file is done, and makes the rows of each that is.
void CollectDigests(Digesting& digesting, const RowOptions& options, RowTools& tools,
                    std::vector<std::pair<uint64_t, RowOutput>>& finished) {
  const std::size_t count = RunMd5Lanes(digesting.Lanes, digesting.Done);
  for (std::size_t i = 0; i < count; ++i) {
    const Md5Done& done = digesting.Done[i];
    auto& [number, held] = digesting.Files[done.Tag];
    FinishHeldFile(held, done.Whole, done.Prefix, options, tools,
                   finished.emplace_back(number, RowOutput{}).second);
    held.Bytes.reset();
    --digesting.InFlight;
  }
}

void StartDigest(Digesting& digesting, uint64_t number, HeldFile&& held, const RowOptions& options,
                 RowTools& tools, std::vector<std::pair<uint64_t, RowOutput>>& finished) {
  while (FreeMd5Lanes(digesting.Lanes) == 0) CollectDigests(digesting, options, tools, finished);
  std::size_t tag = 0;
  while (digesting.Files[tag].second.Bytes) ++tag;
  auto& slot = digesting.Files[tag];
  slot = {number, std::move(held)};
  AddMd5Job(digesting.Lanes, {slot.second.Bytes.get(), slot.second.Size,
                              static_cast<std::size_t>(slot.second.Scanned.ScannedBytes), tag});
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
        RowOutput out;
        HeldFile held;
        if (!item.Error.empty()) {
          AddRow(out, ErrorRow(item.Path, item.Error), options);
        } else if (StartRows(item.Path, options, *tools, out, held)) {
          StartDigest(*digesting, number, std::move(held), options, *tools, finished);
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
      messages.Say("cannot write " + Name + ": " + std::strerror(fault.ErrorNumber));
      return false;
    }
  }

  // Writes what is left and puts the file in place under its name.
  bool Finish(Messages& messages) {
    try {
      FlushOutput(*Out);
    } catch (const Fault& fault) {
      messages.Say("cannot write " + Name + ": " + std::strerror(fault.ErrorNumber));
      return false;
    }
    if (std::string error = CommitTableFile(File); !error.empty()) {
      messages.Say(error);
      return false;
    }
    return true;
  }
};

// Writes the rows in their order as they are finished, and their records to the page when there
// is one; false when an output failed.
bool WriteRows(Pipeline& pipeline, RunOutput& table, RunOutput* page, Messages& messages) {
  for (;;) {
    std::vector<RowOutput> ready;
    {
      std::unique_lock lock(pipeline.Lock);
      pipeline.RowReady.wait_for(lock, kProgressEvery, [&] {
        return pipeline.Finished.contains(pipeline.Written) ||
               (pipeline.WalkOver && pipeline.Written == pipeline.Walked);
      });
      if (pipeline.WalkOver && pipeline.Written == pipeline.Walked) return true;
      for (auto next = pipeline.Finished.find(pipeline.Written); next != pipeline.Finished.end();
           next = pipeline.Finished.find(++pipeline.Written)) {
        ready.push_back(std::move(next->second));
        pipeline.Finished.erase(next);
      }
      if (!ready.empty()) pipeline.Room.notify_one();
    }
    for (const RowOutput& rows : ready) {
      if (!table.Write(rows.Text, messages)) return false;
      if (page != nullptr && !page->Write(rows.Page, messages)) return false;
      messages.Files += rows.Rows;
      messages.Bytes += rows.Bytes;
      for (const auto& [path, error] : rows.Errors) {
        ++messages.Errors;
        messages.Say(path + ": " + error);
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
    messages.Say("cannot make pictures in " + folder + ": " + std::strerror(ENOTDIR));
    return false;
  }
  messages.Say("cannot make pictures in " + folder + ": " + std::strerror(error));
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
  Messages messages;
  RunOutput table;
  if (!table.Open(options.OutputPath, messages)) return 2;
  plan.Written.push_back(table.File.TempPath);
  std::optional<RunOutput> page;
  PictureShelf pictures;
  pictures.Folder = options.ThumbnailDir;
  pictures.Width = options.ThumbnailWidth;
  if (!options.ThumbnailDir.empty()) {
    if (!MakePictureFolder(options.ThumbnailDir, messages)) return 2;
    plan.Written.push_back(options.ThumbnailDir);
  }
  if (!options.PagePath.empty()) {
    if (!page.emplace().Open(options.PagePath, messages)) return 2;
    plan.Written.push_back(page->File.TempPath);
  }
  messages.ShowProgress =
      options.ShowProgress == CatalogOptions::Progress::On ||
      (options.ShowProgress == CatalogOptions::Progress::WhenTerminal && isatty(STDERR_FILENO) &&
       // A table shown on the terminal is its own progress; a line between its rows would mar it.
       !(table.File.Path.empty() && isatty(STDOUT_FILENO)));

  Pipeline pipeline;
  std::string walk_failure;
  bool written = true;
  {
    std::vector<std::jthread> threads;
    threads.emplace_back([&] { WalkInto(pipeline, plan, walk_failure); });
    pipeline.Jobs = options.Jobs != 0 ? options.Jobs : Processors();
    RowOptions rows;
    rows.Format = options.Format;
    rows.OpenPacks = options.OpenPacks;
    rows.Limits.ExpandedBytes = options.PackLimit;
    rows.Page = page.has_value();
    rows.Pictures = options.ThumbnailDir.empty() ? nullptr : &pictures;
    for (unsigned i = 0; i < pipeline.Jobs; ++i)
      threads.emplace_back([&] { Work(pipeline, rows); });
    written =
        table.Write(TableHeader(options.Format), messages) &&
        (!page || page->Write(PageHead(PicturesFromPage(options.ThumbnailDir, options.PagePath)),
                              messages)) &&
        WriteRows(pipeline, table, page ? &*page : nullptr, messages);
    pipeline.Stop();
  }
  written = written && (!page || page->Write(PageTail(), messages)) && table.Finish(messages) &&
            (!page || page->Finish(messages));
  if (!pictures.Failure.empty()) {
    messages.Say(pictures.Failure + "; no more pictures were made");
    written = false;
  }
  messages.Progress(true);
  if (!walk_failure.empty()) messages.Say(walk_failure);
  if (!written || !walk_failure.empty()) return 2;
  return messages.Errors > 0 ? 1 : 0;
}

}  // namespace tintrel
