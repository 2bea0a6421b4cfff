// How a job talks back to whoever started it: the dialog, the console or a
// test. Nothing else of the front end reaches a job.
#ifndef DORVENAL_JOB_REPORT_H
#define DORVENAL_JOB_REPORT_H

#include <cstdint>
#include <string>

// Answers of a yes/no box, numbered as the system numbers them.
enum BoxAnswer { kAnswerYes = 6, kAnswerNo = 7 };

// The inputs a refusal can send the user back to.
enum class RequestField { kSource, kTarget, kValue };

class JobReport {
 public:
  virtual ~JobReport() = default;
  // The program's information box: caption "Dorvenal", information icon, OK.
  virtual void ShowInfo(const std::string& text) = 0;
  // Yes/No box with the same caption and icon.
  virtual BoxAnswer AskYesNo(const std::string& text) = 0;
  // 32-bit bounds, so that sets of more than 65,535 pieces are followed.
  virtual void SetProgressRange(uint32_t minimum, uint32_t maximum) = 0;
  virtual void SetProgressStep(uint32_t step) = 0;
  virtual void SetProgressPos(uint32_t position) = 0;
  // The Split/Join and Cancel buttons, disabled while a split runs.
  virtual void EnableButtons(bool enable) = 0;
  virtual void Focus(RequestField field) = 0;
};

#endif
