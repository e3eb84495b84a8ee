// SPDX-License-Identifier: MIT
#include "catalog/pipeline.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalog/digest_lanes.h"
#include "catalog/file_rows.h"
#include "catalog/table_file.h"
#include "io/long_path.h"
#include "text/shown_name.h"

namespace tintrel {

namespace {

// How far the walk may run ahead of the rows written: it bounds the rows waiting for their turn.
constexpr uint64_t kWindow = 1024;

// Rows travel in batches: the walk hands over this many paths at a time, and a worker takes up to
// this many, so that threads meet under the lock once for several files rather than for each.
constexpr std::size_t kBatch = 16;

unsigned Processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

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

// Counts a walked path and its size for the progress line.
void CountWalked(WalkCount& count, const WalkItem& item) {
  struct stat status;
  if (item.Error.empty() && StatLongPath(item.Path, status) && S_ISREG(status.st_mode))
    count.Bytes += static_cast<uint64_t>(status.st_size);
  ++count.Paths;
}

void WalkInto(Pipeline& pipeline, const WalkPlan& plan, WalkCount* count,
              std::string& walk_failure) {
  std::vector<WalkItem> batch;
  try {
    walk_failure = Walk(plan, [&](WalkItem&& item) {
      if (count != nullptr) CountWalked(*count, item);
      batch.push_back(std::move(item));
      if (batch.size() == kBatch) HandOver(pipeline, batch);
    });
    HandOver(pipeline, batch);
  } catch (const WalkStopped&) {
  }
  if (count != nullptr) count->Over = true;
  std::lock_guard lock(pipeline.Lock);
  pipeline.WalkOver = true;
  pipeline.WorkReady.notify_all();
  pipeline.RowReady.notify_all();
}

// The rows of the walked items taken: those of held files once the lanes have their digests.
void MakeRows(std::vector<std::pair<uint64_t, WalkItem>>& taken, const RowOptions& options,
              RowTools& tools, Digesting& digesting, FinishedRows& finished) {
  for (auto& [number, item] : taken) {
    RowOutput out;
    out.Path = std::move(item.Path);
    if (!item.Error.empty()) {
      AddRow(out, ErrorRow(out.Path, item.Error), options);
    } else if (std::optional<HeldFile> held = StartFileRows(out.Path, options, tools, out)) {
      StartDigest(digesting, {number, std::move(*held), std::move(out)}, options, tools, finished);
      continue;
    }
    finished.emplace_back(number, std::move(out));
  }
  taken.clear();
}

void Work(Pipeline& pipeline, const RowOptions& options) {
  std::vector<std::pair<uint64_t, WalkItem>> taken;
  FinishedRows finished;
  auto tools = std::make_unique<RowTools>(options);
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
      MakeRows(taken, options, *tools, *digesting, finished);
      lock.lock();
    }
    for (auto& [number, row] : finished) pipeline.Finished.emplace(number, std::move(row));
    finished.clear();
    if (pipeline.Finished.contains(pipeline.Written)) pipeline.RowReady.notify_one();
  }
}

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
      ++messages.Paths;
      if (rows.Stamp) messages.DiskBytes += static_cast<uint64_t>(rows.Stamp->Size);
      // Copies are told only by the summary of a run that shows progress; an update asks its
      // database.
      if (messages.ShowProgress)
        for (uint64_t art : rows.Arts) messages.Copies += !messages.ArtsMet.insert(art).second;
      for (const auto& [path, error] : rows.Errors) {
        ++messages.Errors;
        Say(messages, ShownName(path) + ": " + ShownName(error));
      }
      if (rows.UnnamedErrors > 0) {
        messages.Errors += rows.UnnamedErrors;
        Say(messages,
            ShownName(rows.Path) + ": " + std::to_string(rows.UnnamedErrors) + " more error rows");
      }
    }
    ShowProgress(messages, false);
  }
}

}  // namespace

bool RunPipeline(const WalkPlan& plan, const RowOptions& rows, unsigned jobs, const RowSink& sink,
                 Messages& messages, std::string& walk_failure) {
  Pipeline pipeline;
  std::vector<std::jthread> threads;
  WalkCount* count = messages.ShowProgress ? &messages.Walked : nullptr;
  threads.emplace_back([&] { WalkInto(pipeline, plan, count, walk_failure); });
  if (std::string error = sink.Prepare(); !error.empty()) {
    Say(messages, error);
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

}  // namespace tintrel
