// dorvenal-cli: the split and join jobs of the dialog program, asked by
// requests built from the command line, so that the pieces, the texts and
// JOIN.BAT are the same byte for byte.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

#include "cli_options.h"
#include "console_report.h"
#include "join_job.h"
#include "platform.h"
#include "split_job.h"
#include "stop_request.h"
#include "text_format.h"

#ifndef DORVENAL_VERSION
#error "the build defines DORVENAL_VERSION"
#endif

namespace {

#ifdef _WIN32
// The dialog's pickers hand the jobs full paths, and the free-space query
// needs the drive letter of one; this also turns '/' into '\'.
std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 2];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return path;
  return std::string(buffer, length);
}

// The C library's stat refuses a folder path that ends in a backslash.
bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
#else
std::string FullPath(const std::string& path) { return path; }

bool IsDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
#endif

uint64_t SourceSize(const std::string& path) {
  uint64_t size = 0;
  FileHandle file = OpenSourceFile(path);
  if (file.value == kNoHandle) return 0;
  if (!GetFileSize64(file, &size)) size = 0;
  CloseFile(file);
  return size;
}

// The jobs stop without a word in a few cases where the dialog leaves the
// user to see for himself; a terminal user gets a line.
void ExplainSilentSplitStop(ConsoleReport& report, const CliRequest& request, JobOutcome outcome) {
  if (outcome == JobOutcome::kFailed) {
    // Never opened here: opening a FIFO would wait for a writer.
    struct stat info;
    if (::stat(request.source.c_str(), &info) != 0) {
      int error = errno;
      report.Complain("cannot open '" + request.source + "': " + std::strerror(error));
      return;
    }
    if (!S_ISREG(info.st_mode)) {
      report.Complain("'" + request.source + "' is not a regular file");
      return;
    }
    report.Complain("the split stopped: a piece file could not be created in '" + request.target + "'");
    return;
  }
  if (request.method == Size) {
    uint64_t size = static_cast<uint64_t>(ParseDialogNumber(request.value)) * (request.sizeInBytes ? 1 : 1024);
    report.Complain("the piece size (" + DecimalText(size) + " bytes) is not below the size of '" +
                    request.source + "' (" + DecimalText(SourceSize(request.source)) +
                    " bytes); nothing was written");
    return;
  }
  if (request.method == Keyword) {
    report.Complain("'" + request.value + "' does not occur in '" + request.source +
                    "' before its end or its first zero byte; nothing was written");
    return;
  }
  report.Complain("the split was refused; nothing was written");
}

// The exit status of a run stopped by a signal: 128 + its number.
volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
  gStopSignal = signal;
  RequestStop();
}

#ifdef _WIN32
// Ctrl+C and Ctrl+Break arrive on a thread of their own; the job sees the
// request between blocks and cleans up on the main thread.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  OnStopSignal(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  return TRUE;
}

void CatchStopSignals() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
#else
void CatchStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}
#endif

// mkdir -p: each missing folder of the path, from the top down.
bool MakeDirectories(const std::string& path, std::string* why) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/' && path[at] != '\\') continue;
    const std::string part = path.substr(0, at);
    if (IsDirectory(part)) continue;
#ifdef _WIN32
    bool made = CreateDirectoryA(part.c_str(), nullptr) != 0;
#else
    bool made = ::mkdir(part.c_str(), 0777) == 0;
#endif
    if (!made && !IsDirectory(part)) {
      *why = std::strerror(errno);
      return false;
    }
  }
  return true;
}

SplitRequest MakeSplitRequest(const CliRequest& request, const std::string& source, const std::string& target) {
  SplitRequest split;
  split.sourcePath = source;
  split.targetDir = target;
  split.method = request.method;
  split.value = request.value;
  split.unit = request.sizeInBytes ? SizeUnit::kBytes : SizeUnit::kKilobytes;
  split.writeBatch = request.writeBatch;
  split.writeScript = request.writeScript;
  split.dryRun = request.dryRun;
  return split;
}

int RunRequest(const CliRequest& request) {
  const bool split = request.command == Command::kSplit;
  const std::string source = FullPath(request.source);
  const std::string target = FullPath(request.target);

  ConsoleReport report(split ? "Splitting" : "Joining");
  if (request.makeTarget && !request.dryRun && !IsDirectory(target)) {
    std::string why;
    if (!MakeDirectories(target, &why)) {
      report.Complain("cannot create the directory '" + request.target + "': " + why);
      return kExitFailed;
    }
  }
  // The pickers of the dialog offer only files and existing folders.
  if (!IsDirectory(target)) {
    report.Complain("'" + request.target + "' is not an existing directory" +
                    (request.makeTarget ? "" : " (--parents creates it)"));
    return kExitFailed;
  }
  if (IsDirectory(source)) {
    report.Complain("'" + request.source + "' is a directory, not a file");
    return kExitFailed;
  }

  report.AssumeYes(request.assumeYes);
  report.BeQuiet(request.quiet);
  CatchStopSignals();
  JobOutcome outcome = split ? PerformSplitJob(MakeSplitRequest(request, source, target), report)
                             : PerformJoinJob(JoinRequest{source, target, request.dryRun}, report);
  report.EndProgressLine();
  if (StopRequested() && outcome != JobOutcome::kFinished) return 128 + gStopSignal;
  if (report.outputFailed()) {
    report.Complain("cannot write to standard output");
    return kExitFailed;
  }

  switch (outcome) {
    case JobOutcome::kFinished:
      return kExitFinished;
    case JobOutcome::kDeclined:
      return kExitNotConfirmed;
    case JobOutcome::kRefused:
    case JobOutcome::kFailed:
      break;
  }
  if (report.errorsShown() == 0) {
    if (split) {
      CliRequest shown = request;
      shown.source = source;
      shown.target = target;
      ExplainSilentSplitStop(report, shown, outcome);
    } else {
      report.Complain("the join stopped before it finished");
    }
  }
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  CliRequest request;
  std::string error;
  if (!ParseCommandLine(arguments, &request, &error)) {
    std::fprintf(stderr, "dorvenal-cli: %s\nTry 'dorvenal-cli --help' for more information.\n", error.c_str());
    return kExitUsage;
  }
  switch (request.command) {
    case Command::kHelp:
      std::fputs(kHelpText, stdout);
      return std::fflush(stdout) == 0 ? kExitFinished : kExitFailed;
    case Command::kVersion:
      std::puts("dorvenal-cli (Dorvenal) " DORVENAL_VERSION);
      return std::fflush(stdout) == 0 ? kExitFinished : kExitFailed;
    case Command::kSplit:
    case Command::kJoin:
      break;
  }
  return RunRequest(request);
}
