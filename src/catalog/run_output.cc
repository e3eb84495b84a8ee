// SPDX-License-Identifier: MIT
#include "catalog/run_output.h"

#include <cstring>

#include "text/shown_name.h"

namespace tintrel {

std::string WriteFailure(const std::string& name, const Fault& fault) {
  return "cannot write " + ShownName(name) + ": " +
         (fault.ErrorNumber != 0 ? std::strerror(fault.ErrorNumber) : fault.Message);
}

bool OpenRunOutput(RunOutput& output, const std::string& path, Messages& messages) {
  if (std::string error = OpenTableFile(output.File, path); !error.empty()) {
    Say(messages, error);
    return false;
  }
  output.Out->Fd = output.File.Fd;
  output.Name = TableName(output.File);
  return true;
}

bool WriteRunOutput(RunOutput& output, std::string_view text, Messages& messages) {
  try {
    WriteText(*output.Out, text);
    return true;
  } catch (const Fault& fault) {
    Say(messages, WriteFailure(output.Name, fault));
    return false;
  }
}

bool WriteRunRows(RunOutput& output, const SpilledRows& spill, const std::string& text,
                  Messages& messages) {
  try {
    return ForEachPiece(
        spill, text, [&](std::string_view rows) { return WriteRunOutput(output, rows, messages); });
  } catch (const Fault& fault) {
    Say(messages, fault.Message);
    return false;
  }
}

bool FinishRunOutput(RunOutput& output, Messages& messages) {
  try {
    FlushOutput(*output.Out);
  } catch (const Fault& fault) {
    Say(messages, WriteFailure(output.Name, fault));
    return false;
  }
  if (std::string error = CommitTableFile(output.File); !error.empty()) {
    Say(messages, error);
    return false;
  }
  return true;
}

}  // namespace tintrel
