// SPDX-License-Identifier: MIT
#include "driver/driver.h"

#include <exception>
#include <string>

#include "analysis/analysis.h"
#include "io/file_handle.h"
#include "output/report_writer.h"
#include "output/summary_line_writer.h"
#include "text/short_text.h"

namespace tintrel {

namespace {

// A cursor position report goes out the moment the scan meets it: ESC [ row ; column R.
void WritePositionReport(void* context, uint8_t row, uint8_t column) {
  std::string report = "\x1b[";
  report += IntToText(row);
  report += ';';
  report += IntToText(column);
  report += 'R';
  WriteText(*static_cast<Output*>(context), report);
}

int Analyse(int argc, const char* const* argv, Output& out) {
  if (argc < 2) {
    ShowUsage(out);
    return 0;
  }
  // The whole argument names the file: cutting a long path would name a different one.
  const std::string name = argv[1];
  if (!PathExists(name)) {
    WriteLine(out, "File doesn't exist. Aborting...");
    return 0;
  }
  bool report_mode = false;
  for (int i = 1; i < argc; ++i) {
    switch (SwitchOf(argv[i])) {
      case Switch::Help: ShowUsage(out); return 0;
      case Switch::Report: report_mode = true; break;
      case Switch::None: break;
    }
  }
  const Analysis analysis = AnalyseFile(name, {WritePositionReport, &out});
  if (!analysis.Opened) WriteLine(out, "File " + name + " not found.");
  if (report_mode)
    WriteReport(analysis, out);
  else
    WriteSummaryLine(analysis, out);
  return 0;
}

}  // namespace

Switch SwitchOf(std::string_view argument) {
  std::string word = UpperCased(argument);
  if (word == "/H" || word == "/?") return Switch::Help;
  if (word == "-R") return Switch::Report;
  if (word == "-H" || word == "-?" || word == "--HELP") return Switch::Help;
  return Switch::None;
}

void ShowUsage(Output& out) {
  WriteText(out,
            " [] Hueprobe v1.0\n"
            "\n"
            " Usage: tintrel <filename> [options]\n"
            "\n"
            " Options:\n"
            "   -r  : Show report\n"
            "\n");
}

int RunTintrel(int argc, const char* const* argv, Output& out) {
  try {
    int status = Analyse(argc, argv, out);
    FlushOutput(out);
    return status;
  } catch (const Fault& fault) {
    WriteUnhandledReport(out, fault);
    return kUnhandledExitStatus;
  } catch (const std::exception& error) {
    // Out of memory and the like: still one report line and no word on standard error.
    WriteUnhandledReport(out, Fault("Error", error.what()));
    return kUnhandledExitStatus;
  }
}

}  // namespace tintrel
