#include "run_cli.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "test_files.h"

#ifndef DORVENAL_CLI_PATH
#error "the build defines DORVENAL_CLI_PATH"
#endif

namespace {

void AppendAvailable(int fd, std::string* sink) {
  char buffer[4096];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) return;
    sink->append(buffer, static_cast<size_t>(got));
  }
}

int OpenTerminal(std::string* slaveName) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
  *slaveName = ::ptsname(master);
  return master;
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments, const CliOptions& options) {
  CliResult result;
  TempDir streams;
  const std::string outPath = streams.File("stdout");
  const std::string errPath = streams.File("stderr");
  const std::string inPath = streams.File("stdin");
  if (options.input == Input::kText) WriteBytes(inPath, options.inputText);

  int pipeFds[2] = {-1, -1};
  if (options.input == Input::kOpenPipe && ::pipe(pipeFds) != 0) return result;
  std::string slaveName;
  int master = -1;
  if (options.input == Input::kTerminal) {
    master = OpenTerminal(&slaveName);
    if (master < 0) return result;
    // Typed before the program reads: the terminal keeps it in its line buffer.
    if (!options.inputText.empty() &&
        ::write(master, options.inputText.data(), options.inputText.size()) < 0) {
      return result;
    }
  }

  std::vector<std::string> argv0 = {DORVENAL_CLI_PATH};
  argv0.insert(argv0.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : argv0) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  pid_t child = ::fork();
  if (child == 0) {
    int in = -1;
    if (options.input == Input::kTerminal) {
      ::setsid();
      in = ::open(slaveName.c_str(), O_RDWR);
    } else if (options.input == Input::kOpenPipe) {
      in = pipeFds[0];
    } else {
      in = ::open(options.input == Input::kText ? inPath.c_str() : "/dev/null", O_RDONLY);
    }
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = options.errorIsTerminal ? ::open(slaveName.c_str(), O_RDWR)
                                      : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(125);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) ::_exit(125);
    ::execv(argv[0], argv.data());
    ::_exit(126);
  }
  if (pipeFds[0] >= 0) ::close(pipeFds[0]);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  int status = 0;
  for (;;) {
    pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      break;
    }
    if (master >= 0) {
      // Drained while the program runs, so that it never blocks on a full terminal.
      pollfd ready = {master, POLLIN, 0};
      if (::poll(&ready, 1, 20) > 0 && (ready.revents & POLLIN) != 0) {
        char buffer[4096];
        ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) result.terminal.append(buffer, static_cast<size_t>(got));
      }
    } else {
      ::usleep(5000);
    }
  }
  if (master >= 0) {
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    AppendAvailable(master, &result.terminal);
    ::close(master);
  }
  if (pipeFds[1] >= 0) ::close(pipeFds[1]);
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = ReadBytes(outPath);
  if (!options.errorIsTerminal) result.err = ReadBytes(errPath);
  return result;
}
