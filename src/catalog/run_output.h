// SPDX-License-Identifier: MIT
// A file a catalogue run writes as its rows come: the table, or the gallery page. Each failure is
// said once, as a message, and the caller only learns that it failed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "catalog/messages.h"
#include "catalog/row_spill.h"
#include "catalog/table_file.h"
#include "io/fault.h"
#include "io/output.h"

namespace tintrel {

// Why a write failed, as a message tells it.
std::string WriteFailure(const std::string& name, const Fault& fault);

struct RunOutput {
  TableFile File;
  std::unique_ptr<Output> Out = std::make_unique<Output>();
  std::string Name;  // as messages name it
};

// Opens the file at `path` (empty: standard output); false, having said why, when it cannot.
bool OpenRunOutput(RunOutput& output, const std::string& path, Messages& messages);

// False, having said why, when the text cannot be written.
bool WriteRunOutput(RunOutput& output, std::string_view text, Messages& messages);

// Writes the rows of `text` and those spilled in front of them; false, having said why, when they
// cannot be read back or written.
bool WriteRunRows(RunOutput& output, const SpilledRows& spill, const std::string& text,
                  Messages& messages);

// Writes what is left and puts the file in place under its name.
bool FinishRunOutput(RunOutput& output, Messages& messages);

}  // namespace tintrel
