// A job's report on a terminal: the completion on standard output;
// warnings, the stop and questions as lines on standard error; a y/N prompt
// for a question; a progress line while a person watches.
#ifndef DORVENAL_CONSOLE_REPORT_H
#define DORVENAL_CONSOLE_REPORT_H

#include <chrono>
#include <cstdint>
#include <string>

#include "console_text.h"
#include "job_report.h"

struct ConsoleSettings {
  StopContext job;           // join or split, and what a stop line may tell
  bool assumeYes = false;    // every question is answered Yes without asking
  bool quiet = false;        // no completion line and no progress line
  bool inputIsSource = false;  // standard input carries the data: no answer is read from it
  std::string folderToCreate;  // a dry run with --parents: told after the plan
};

class ConsoleReport : public JobReport {
 public:
  explicit ConsoleReport(const ConsoleSettings& settings);
  ConsoleReport(const ConsoleReport&) = delete;
  ConsoleReport& operator=(const ConsoleReport&) = delete;

  // The completion message could not be written (standard output full or closed).
  bool outputFailed() const { return outputFailed_; }
  // A line for standard error could not be written (closed, or a pipe nobody reads).
  bool errorFailed() const { return errorFailed_; }

  // Ends an open progress line, so that the next text starts on a line of its own.
  void EndProgressLine();
  // One line of the front end's own on standard error, after the program's name.
  void Complain(const std::string& line);

  Answer Ask(const Question& question) override;
  void Warn(const Warning& warning) override;
  void StartProgress(uint64_t pieces, uint64_t bytes) override;
  void Progress(uint64_t piece, uint64_t bytes) override;
  void Finished(const JobSummary& summary) override;
  void Stopped(const StopReason& reason) override;

 private:
  // A completion line on standard output, unless quiet.
  void Tell(const std::string& line);
  // Text on standard error, flushed; a failure is remembered.
  void Say(const std::string& text);

  ConsoleSettings settings_;
  bool inputIsTerminal_ = false;
  bool errorIsTerminal_ = false;
  bool outputFailed_ = false;
  bool errorFailed_ = false;

  uint64_t bytes_ = 0;  // of all; 0 when not known (a stream)
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::time_point drawnAt_;
  uint64_t drawnDone_ = 0;
  size_t drawnLength_ = 0;  // 0 when no progress line is open
};

#endif
