#include "driver/driver.h"

#include <sys/stat.h>

#include <exception>
#include <string_view>

#include "output/report_writer.h"
#include "output/summary_line_writer.h"
#include "scan/file_reader.h"
#include "scan/scan_state.h"
#include "text/short_text.h"

namespace tintrel {

namespace {

int Analyse(int argc, const char* const* argv, Output& out) {
  ScanState scan;
  ResetColorTable(scan);
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
  EarlyDigest early;
  StartEarlyDigest(early, name);
  SetCursor(scan, 1, 1);
  ScanImage(scan, out, name);
  if (report_mode)
    WriteReport(scan, out, name, &early);
  else
    WriteSummaryLine(scan, out, name, &early);
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

bool PathExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

int RunTintrel(int argc, const char* const* argv, Output& out) {
  try {
    int status = Analyse(argc, argv, out);
    FlushOutput(out);
    return status;
  } catch (const UnhandledError& error) {
    WriteUnhandledReport(out, error);
    return kUnhandledExitStatus;
  } catch (const std::exception& error) {
    // Out of memory and the like: still one report line and no word on standard error.
    WriteUnhandledReport(out, {"Error", error.what()});
    return kUnhandledExitStatus;
  }
}

}  // namespace tintrel
