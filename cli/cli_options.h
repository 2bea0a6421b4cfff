// The command line of dorvenal-cli, read into a typed request.
#ifndef DORVENAL_CLI_OPTIONS_H
#define DORVENAL_CLI_OPTIONS_H

#include <string>
#include <vector>

#include "job_request.h"

// Exit codes, as the help text and the manual page list them.
enum ExitCode {
  kExitFinished = 0,     // the split or join ran to its end; verify: every file matches
  kExitFailed = 1,       // refused, or stopped by an error; verify: a file does not match
  kExitUsage = 2,        // the command line was wrong
  kExitNotConfirmed = 3  // a question was answered No, or could not be asked
};

enum class Command { kHelp, kVersion, kSplit, kJoin, kVerify, kRepair };

struct CliRequest {
  Command command = Command::kHelp;
  // The split as asked, without its paths: method, size in bytes, count or
  // keyword, --batch, --script, --dry-run and, for "-", the stream's name.
  SplitRequest split;
  bool assumeYes = false;
  bool quiet = false;       // no completion line, no progress line
  bool dryRun = false;      // tell the plan, write nothing
  bool makeTarget = false;  // create a missing target folder
  std::string source;  // the file to split ("-": standard input), or the first piece to join or verify
  std::string target;  // the target directory (not for verify)
};

// SOURCE that stands for standard input.
constexpr char kStandardInputName[] = "-";

// Reads the arguments after the program name. False with a one-line reason
// in *error when they are not a valid command line.
bool ParseCommandLine(const std::vector<std::string>& arguments, CliRequest* request, std::string* error);

extern const char kHelpText[];

#endif
