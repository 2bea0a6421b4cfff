// The dialog's two entries: read the controls, refuse what is missing with
// the program's messages and focus, then hand a request to the job.
#ifndef DORVENAL_DIALOG_ENTRIES_H
#define DORVENAL_DIALOG_ENTRIES_H

#include "dialog_ops.h"
#include "job_report.h"
#include "job_request.h"

// A job's report, told through the dialog's controls and boxes.
class DialogReport : public JobReport {
 public:
  explicit DialogReport(Dialog* dialog) : dialog_(dialog) {}
  void ShowInfo(const std::string& text) override;
  BoxAnswer AskYesNo(const std::string& text) override;
  void SetProgressRange(uint32_t minimum, uint32_t maximum) override;
  void SetProgressStep(uint32_t step) override;
  void SetProgressPos(uint32_t position) override;
  void EnableButtons(bool enable) override;
  void Focus(RequestField field) override;

 private:
  Dialog* dialog_;
};

// The request as the controls hold it; `method` is the selected split method.
SplitRequest ReadSplitRequest(Dialog* dialog, SplitMethod method);
JoinRequest ReadJoinRequest(Dialog* dialog);

// Always 1: the outcome has been told in message boxes.
int RunSplitJob(Dialog* dialog);
int RunJoinJob(Dialog* dialog);

#endif
