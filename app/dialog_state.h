// The main dialog's state: made by the program entry, handed to the dialog
// through DialogBoxParam's parameter and kept in the window's user data
// from WM_INITDIALOG on. Touched only on the dialog's thread.
#ifndef DORVENAL_DIALOG_STATE_H
#define DORVENAL_DIALOG_STATE_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "join_job.h"
#include "split_job.h"

using SplitJobEntry = JobResult (*)(const SplitRequest& request, JobReport& report);
using JoinJobEntry = JobResult (*)(const JoinRequest& request, JobReport& report);

struct DialogState {
  HINSTANCE instance = nullptr;
  HICON appIcon = nullptr;
  HWND tooltipWindow = nullptr;

  int32_t joinMode = 0;
  SplitMethod splitMethod = Keyword;

  // The text a path field's tip shows: the tooltip reads it after the
  // dialog has answered the notification, so it must outlive the answer.
  std::string pathTip;

  // The jobs that the default button starts; a test puts in its own.
  SplitJobEntry splitJob = PerformSplitJob;
  JoinJobEntry joinJob = PerformJoinJob;
};

#endif
