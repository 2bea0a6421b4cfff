// dorvenal-cli: the split and join jobs of the dialog program, asked by
// requests built from the command line, so that the pieces and JOIN.BAT
// are the same byte for byte.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#endif

#include "cli_options.h"
#include "console_report.h"
#include "join_job.h"
#include "platform.h"
#include "repair_job.h"
#include "split_job.h"
#include "stop_request.h"
#include "text_format.h"
#include "verify_job.h"

#ifndef DORVENAL_VERSION
#error "the build defines DORVENAL_VERSION"
#endif

namespace {

#ifdef _WIN32
// The free-space query needs the drive of the folder, which a relative
// path does not name; this also turns '/' into '\'.
std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 2];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return path;
  return std::string(buffer, length);
}

// The C library's stat refuses a folder path that ends in a backslash.
// *lookUpError: why a path that may exist could not be looked at.
bool Exists(const std::string& path, bool* isDirectory, SystemError* lookUpError = nullptr) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  *isDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : NO_ERROR;
  const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  if (lookUpError != nullptr) *lookUpError = missing ? kNoError : static_cast<SystemError>(error);
  return attributes != INVALID_FILE_ATTRIBUTES;
}

SystemError MakeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) ? kNoError : static_cast<SystemError>(GetLastError());
}
#else
std::string FullPath(const std::string& path) { return path; }

bool Exists(const std::string& path, bool* isDirectory, SystemError* lookUpError = nullptr) {
  struct stat info;
  const bool exists = ::stat(path.c_str(), &info) == 0;
  const SystemError error = exists || errno == ENOENT || errno == ENOTDIR ? kNoError : errno;
  if (lookUpError != nullptr) *lookUpError = error;
  *isDirectory = exists && S_ISDIR(info.st_mode);
  return exists;
}

SystemError MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 ? kNoError : errno; }
#endif

bool IsDirectory(const std::string& path) {
  bool isDirectory = false;
  return Exists(path, &isDirectory) && isDirectory;
}

// mkdir -p: each missing folder of the path, from the top down. The error
// is the failed mkdir's own, taken before anything else can change it.
bool MakeDirectories(const std::string& path, std::string* why) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/' && path[at] != '\\') continue;
    const std::string part = path.substr(0, at);
    if (IsDirectory(part)) continue;
    const SystemError error = MakeDirectory(part);
    if (error != kNoError && !IsDirectory(part)) {
      *why = DescribeSystemError(error);
      return false;
    }
  }
  return true;
}

// The exit status of a run stopped by a signal: 128 + its number.
volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
  gStopSignal = signal;
  RequestStop();
}

#ifdef _WIN32
// Set once the job has removed what it had not finished.
HANDLE gJobOver = nullptr;

// Ctrl+C, Ctrl+Break and a closed console window arrive on a thread of
// their own; the job sees the request between blocks and cleans up on the
// main thread. Windows ends the process as soon as the handler of a close
// returns (or a few seconds after the close), so that handler waits for
// the clean-up first.
BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: OnStopSignal(SIGINT); return TRUE;
    case CTRL_BREAK_EVENT: OnStopSignal(SIGTERM); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      OnStopSignal(SIGTERM);
      WaitForSingleObject(gJobOver, INFINITE);
      return TRUE;
  }
  return FALSE;
}

void CatchStopSignals() {
  gJobOver = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void JobIsOver() {
  if (gJobOver != nullptr) SetEvent(gJobOver);
}

// Names are UTF-8 bytes (the program's manifest makes them so): the console
// shows them in its UTF-8 code page, and gets its own back on every exit.
UINT gConsoleCodePage = 0;

void RestoreConsoleCodePage() {
  if (gConsoleCodePage != 0) SetConsoleOutputCP(gConsoleCodePage);
}

void UseUtf8Console() {
  DWORD mode = 0;
  const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
                       GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
  const UINT previous = GetConsoleOutputCP();
  if (!console || previous == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  gConsoleCodePage = previous;
  std::atexit(RestoreConsoleCodePage);
}
#else
// Every signal that ends a run from a terminal stops the job as Ctrl+C
// does. One the process was started with ignored (nohup, or INT and QUIT
// of a background command) stays ignored, as its starter asked.
void CatchStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction inherited = {};
    if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void JobIsOver() {}

void UseUtf8Console() {}
#endif

// The target folder as the job needs it: there, made with --parents, or,
// for a dry run, told as one that would be made. False with the line that
// says why not.
bool PrepareTarget(const CliRequest& request, const std::string& target, ConsoleSettings* settings,
                   std::string* complaint) {
  bool isDirectory = false;
  SystemError lookUp = kNoError;
  const bool exists = Exists(target, &isDirectory, &lookUp);
  if (lookUp != kNoError) {
    *complaint = "cannot look at the folder " + QuotedName(request.target) + ": " + DescribeSystemError(lookUp);
    return false;
  }
  if (request.makeTarget && !exists && request.dryRun) {
    settings->folderToCreate = request.target;
    return true;
  }
  if (request.makeTarget && !exists) {
    std::string why;
    if (!MakeDirectories(target, &why)) {
      *complaint = "cannot create the directory " + QuotedName(request.target) + ": " + why;
      return false;
    }
    isDirectory = true;
  }
  if (!isDirectory) {
    *complaint = QuotedName(request.target) + " is not an existing directory" +
                 (request.makeTarget ? "" : " (--parents creates it)");
  }
  return isDirectory;
}

// One line per file, as sha256sum -c prints them (-q: the failures only).
class VerifyLines : public VerifyReport {
 public:
  explicit VerifyLines(bool quiet) : quiet_(quiet) {}
  void Checked(const std::string& path, Verdict verdict) override {
    static const char* const kWords[] = {"OK", "FAILED", "FAILED open or read", "FAILED: not in the manifest",
                                         "FAILED: not a regular file"};
    ++files_;
    if (verdict != Verdict::kMatches) ++failed_;
    if (quiet_ && verdict == Verdict::kMatches) return;
    std::printf("%s: %s\n", ShownName(path).c_str(), kWords[static_cast<int>(verdict)]);
    std::fflush(stdout);
  }
  void Repairable(uint64_t lost, uint64_t rebuildable) override {
    repairLine_ = lost <= rebuildable
                      ? DecimalText(lost) + " of the set's files are missing or damaged: its recovery pieces can " +
                            "rebuild them (dorvenal-cli repair, or a join)"
                      : DecimalText(lost) + " of the set's files are missing or damaged: more than the " +
                            DecimalText(rebuildable) + " its recovery pieces can rebuild; the set cannot be repaired";
  }
  const std::string& repairLine() const { return repairLine_; }
  int files() const { return files_; }
  int failed() const { return failed_; }

 private:
  bool quiet_;
  int files_ = 0;
  int failed_ = 0;
  std::string repairLine_;
};

int RunVerify(const CliRequest& request) {
  CatchStopSignals();
  VerifyRequest verify;
  verify.firstPiecePath = FullPath(request.source);
  VerifyLines lines(request.quiet);
  const JobResult result = PerformVerifyJob(verify, lines);
  JobIsOver();
  if (StopRequested()) {
    std::fprintf(stderr, "dorvenal-cli: the check was interrupted\n");
    return 128 + gStopSignal;
  }
  StopContext context;
  context.join = true;
  context.verify = true;
  if (result.end != JobEnd::kFinished) {
    std::fprintf(stderr, "dorvenal-cli: %s\n", StopLine(result.reason, context).c_str());
    return kExitFailed;
  }
  if (std::ferror(stdout) != 0 || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "dorvenal-cli: cannot write to standard output\n");
    return kExitFailed;
  }
  if (lines.failed() == 0) return kExitFinished;
  std::fprintf(stderr, "dorvenal-cli: %d of %d files did NOT match the checksum manifest\n", lines.failed(),
               lines.files());
  if (!lines.repairLine().empty()) std::fprintf(stderr, "dorvenal-cli: %s\n", lines.repairLine().c_str());
  return kExitFailed;
}

int RunRepair(const CliRequest& request) {
  ConsoleSettings settings;
  settings.job.join = true;
  settings.assumeYes = true;
  settings.quiet = request.quiet;
  ConsoleReport report(settings);
  CatchStopSignals();
  RepairRequest repair;
  repair.path = FullPath(request.source);
  std::string rebuilt;
  const JobResult result = PerformRepairJob(repair, report, &rebuilt);
  JobIsOver();
  if (StopRequested()) {
    report.Complain("the repair was interrupted; the set is as it was");
    return 128 + gStopSignal;
  }
  if (result.end != JobEnd::kFinished) {
    report.Complain(StopLine(result.reason, settings.job));
    return kExitFailed;
  }
  if (request.quiet) return kExitFinished;
  if (rebuilt.empty()) std::printf("dorvenal-cli: every piece and recovery piece is sound; nothing to repair\n");
  else std::printf("dorvenal-cli: repaired: %s\n", ShownName(rebuilt).c_str());
  return std::fflush(stdout) == 0 ? kExitFinished : kExitFailed;
}

int RunRequest(const CliRequest& request) {
  const bool join = request.command == Command::kJoin;
  const bool fromStream = !join && request.split.fromStandardInput;
  const std::string source = fromStream ? request.source : FullPath(request.source);
  const std::string target = FullPath(request.target);

  ConsoleSettings settings;
  settings.job.join = join;
  settings.job.pieceBytes = request.split.pieceBytes;
  settings.job.keyword = request.split.keyword;
  settings.assumeYes = request.assumeYes;
  settings.quiet = request.quiet;
  settings.inputIsSource = fromStream;
  std::string complaint;
  if (!PrepareTarget(request, target, &settings, &complaint)) {
    std::fprintf(stderr, "dorvenal-cli: %s\n", complaint.c_str());
    return kExitFailed;
  }
  ConsoleReport report(settings);

  CatchStopSignals();
  JobResult result;
  if (join) {
    JoinRequest joinRequest;
    joinRequest.firstPiecePath = source;
    joinRequest.targetDir = target;
    joinRequest.dryRun = request.dryRun;
    result = PerformJoinJob(joinRequest, report);
  } else {
    SplitRequest split = request.split;
    split.sourcePath = source;
    split.targetDir = target;
    result = PerformSplitJob(split, report);
  }
  JobIsOver();
  report.EndProgressLine();
  if (StopRequested() && result.end != JobEnd::kFinished) {
    // Whatever the job made of it, the user should hear why it ended.
    if (result.end != JobEnd::kStopped || result.reason.kind != StopKind::kInterrupted) {
      report.Complain(StopLine(StopReason(StopKind::kInterrupted, std::string()), settings.job));
    }
    return 128 + gStopSignal;
  }
  if (report.outputFailed()) {
    report.Complain("cannot write to standard output");
    return kExitFailed;
  }
  // The lines went nowhere: the caller must not take the run for a clean one.
  if (report.errorFailed()) return kExitFailed;
  switch (result.end) {
    case JobEnd::kFinished: return kExitFinished;
    case JobEnd::kDeclined: return kExitNotConfirmed;
    case JobEnd::kStopped: break;
  }
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  // A reader that went away makes a write fail with EPIPE, which the run
  // reports and ends on as on any failed write, instead of dying unheard
  // with its temporary files left behind.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  UseUtf8Console();
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
    case Command::kVerify: return RunVerify(request);
    case Command::kRepair: return RunRepair(request);
    case Command::kSplit:
    case Command::kJoin:
      break;
  }
  return RunRequest(request);
}
