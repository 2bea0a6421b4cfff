// The dialog's state: one instance for the life of the process, touched
// only on the dialog's thread. Jobs keep their working data to themselves.
#ifndef DORVENAL_SESSION_STATE_H
#define DORVENAL_SESSION_STATE_H

#include <cstdint>
#include <string>

#include "job_request.h"

struct SessionState {
  // Handles owned by the main window, opaque here.
  void* instance = nullptr;
  void* appIcon = nullptr;
  void* tooltipWindow = nullptr;
  void* keyboardHook = nullptr;

  int32_t joinMode = 0;
  SplitMethod splitMethod = Keyword;
};

extern SessionState gSession;

#endif
