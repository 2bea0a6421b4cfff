// A job's report on a terminal: information boxes become lines on the
// standard streams, yes/no boxes a prompt, the progress bar a progress line.
#ifndef DORVENAL_CONSOLE_REPORT_H
#define DORVENAL_CONSOLE_REPORT_H

#include <cstdint>
#include <string>

#include "job_report.h"

class ConsoleReport : public JobReport {
 public:
  // `activity` names the job on the progress line ("Splitting", "Joining").
  explicit ConsoleReport(const std::string& activity);
  ConsoleReport(const ConsoleReport&) = delete;
  ConsoleReport& operator=(const ConsoleReport&) = delete;

  // Every yes/no box is answered Yes without asking.
  void AssumeYes(bool yes) { assumeYes_ = yes; }
  // No completion line and no progress line; errors are still told.
  void BeQuiet(bool quiet) { quiet_ = quiet; }

  // Error boxes shown so far (completion messages are not errors).
  int errorsShown() const { return errorsShown_; }
  // A yes/no box was answered No, by the user or because nobody could be asked.
  bool declined() const { return declined_; }

  // The completion message could not be written (standard output full or closed).
  bool outputFailed() const { return outputFailed_; }

  // Ends an open progress line, so that the next text starts on a line of its own.
  void EndProgressLine();
  // A line of the front end's own, on standard error.
  void Complain(const std::string& text);

  void ShowInfo(const std::string& text) override;
  BoxAnswer AskYesNo(const std::string& text) override;
  void SetProgressRange(uint32_t minimum, uint32_t maximum) override;
  void SetProgressStep(uint32_t) override {}
  void SetProgressPos(uint32_t position) override;
  // Nothing to enable or focus on a terminal.
  void EnableButtons(bool) override {}
  void Focus(RequestField) override {}

 private:
  std::string activity_;
  bool assumeYes_ = false;
  bool quiet_ = false;
  bool inputIsTerminal_ = false;
  bool errorIsTerminal_ = false;
  int errorsShown_ = 0;
  bool declined_ = false;
  bool outputFailed_ = false;

  uint32_t rangeMinimum_ = 0;
  uint32_t rangeMaximum_ = 0;
  int drawnPercent_ = -1;
  size_t drawnLength_ = 0;  // 0 when no progress line is open
};

#endif
