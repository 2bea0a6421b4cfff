// A job's report told on the main dialog: questions and messages in the
// program's boxes, the pieces on the progress bar.
#ifndef DORVENAL_DIALOG_REPORT_H
#define DORVENAL_DIALOG_REPORT_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "job_report.h"

enum class DialogJob { kSplit, kJoin };

class DialogReport : public JobReport {
 public:
  DialogReport(HWND dialog, DialogJob job) : dialog_(dialog), job_(job) {}
  ~DialogReport() override { ShowPosition(); }
  // The question in the program's words.
  Answer Ask(const Question& question) override;
  void Warn(const Warning& warning) override;
  void StartProgress(uint64_t pieces, uint64_t bytes) override;
  void Progress(uint64_t piece, uint64_t bytes) override;
  void Finished(const JobSummary& summary) override;
  // Exactly the box (or boxes) the program shows for the reason, or none
  // where it stops without a word.
  void Stopped(const StopReason& reason) override;

 private:
  // Moves the bar to the last piece reported, if it is not there yet.
  void ShowPosition();
  // How much of the bar, in pixels, shows `piece` of pieces_.
  uint64_t FilledPixels(uint64_t piece) const;

  HWND dialog_;
  DialogJob job_;
  uint64_t pieces_ = 0;    // the bar's range is 1..pieces_
  uint64_t width_ = 0;     // the bar's width in pixels
  uint64_t position_ = 0;  // the last piece reported
  uint64_t shown_ = 0;     // the position the bar was last given
};

#endif
