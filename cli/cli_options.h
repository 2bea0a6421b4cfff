// The command line of dorvenal-cli, read into a request.
#ifndef DORVENAL_CLI_OPTIONS_H
#define DORVENAL_CLI_OPTIONS_H

#include <string>
#include <vector>

#include "job_request.h"

// Exit codes, as the help text and the manual page list them.
enum ExitCode {
  kExitFinished = 0,     // the split or join ran to its end
  kExitFailed = 1,       // refused, or stopped by an error
  kExitUsage = 2,        // the command line was wrong
  kExitNotConfirmed = 3  // a question was answered No, or could not be asked
};

enum class Command { kHelp, kVersion, kSplit, kJoin };

struct CliRequest {
  Command command = Command::kHelp;
  SplitMethod method = Size;
  std::string value;  // the text for the value field: size, count or keyword
  bool sizeInBytes = false;
  bool writeBatch = false;
  bool writeScript = false;
  bool assumeYes = false;
  bool quiet = false;       // no completion line, no progress line
  bool dryRun = false;      // tell the plan, write nothing
  bool makeTarget = false;  // create a missing target folder
  std::string source;  // the file to split, or the first piece to join
  std::string target;  // the target directory
};

// The value field of the dialog takes at most this many characters.
constexpr size_t kMaxValueLength = 25;

// Reads the arguments after the program name. False with a one-line reason
// in *error when they are not a valid command line.
bool ParseCommandLine(const std::vector<std::string>& arguments, CliRequest* request, std::string* error);

extern const char kHelpText[];

#endif
