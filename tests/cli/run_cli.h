// Runs dorvenal-cli as a child process with chosen standard streams and a
// time limit, and gives back its exit status and what it printed.
#ifndef DORVENAL_RUN_CLI_H
#define DORVENAL_RUN_CLI_H

#include <string>
#include <vector>

enum class Input {
  kNull,        // /dev/null
  kText,        // a file holding CliRun::inputText
  kOpenPipe,    // a pipe that is never written nor closed: reading it would wait for ever
  kTerminal,    // a pseudo-terminal; inputText is typed into it
};

struct CliOptions {
  Input input = Input::kNull;
  std::string inputText;
  bool errorIsTerminal = false;  // standard error on the pseudo-terminal (needs kTerminal)
  std::string workingDir;        // empty: the test's own
  int timeoutSeconds = 20;
};

struct CliResult {
  int exitCode = -1;      // -1 when the program did not exit by itself
  bool timedOut = false;
  std::string out;        // standard output
  std::string err;        // standard error (empty when it went to the terminal)
  std::string terminal;   // everything written to the pseudo-terminal
};

CliResult RunCli(const std::vector<std::string>& arguments, const CliOptions& options = CliOptions());

#endif
