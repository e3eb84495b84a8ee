// SPDX-License-Identifier: MIT
// The threads of a catalogue run: one walker, a worker a processor (or as many as asked), and the
// calling thread, which puts the rows where they go in the walk's order as they are finished.
// Paths and rows pass between the threads in batches; the walk runs at most a window ahead of
// the rows put, which bounds the rows waiting for their turn.
#pragma once

#include <functional>
#include <string>

#include "catalog/messages.h"
#include "catalog/row_output.h"
#include "catalog/walk.h"

namespace tintrel {

// Where the rows of one walked path go; false, having said why, when they cannot be put there.
using PutRows = std::function<bool(const RowOutput&)>;

// What a run needs besides the walk: where rows go, what readies the workers (it runs while the
// walk begins, and returns why it failed), and what undoes the rows put when a noted signal ends
// the run.
struct RowSink {
  PutRows Put;
  std::function<std::string()> Prepare = [] { return std::string(); };
  std::function<void()> Undo = [] {};
};

// Walks, analyses and puts every row; false when they could not all be put. A noted signal ends
// the run here, once what was put is undone. `jobs` 0 runs a worker a processor.
bool RunPipeline(const WalkPlan& plan, const RowOptions& rows, unsigned jobs, const RowSink& sink,
                 Messages& messages, std::string& walk_failure);

}  // namespace tintrel
