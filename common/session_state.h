// The program-wide state: one instance for the life of the process, touched
// only on the dialog's thread.
#ifndef DORVENAL_SESSION_STATE_H
#define DORVENAL_SESSION_STATE_H

#include <cstdint>
#include <string>

enum SplitMethod : int32_t { Keyword = 0, Size = 1, Pieces = 2 };

struct SessionState {
  // Handles owned by the main window, opaque here.
  void* instance = nullptr;
  void* appIcon = nullptr;
  void* tooltipWindow = nullptr;
  void* keyboardHook = nullptr;

  int32_t joinMode = 0;
  SplitMethod splitMethod = Keyword;

  // The value of the latest split: the keyword text for Keyword, the entered
  // number for Size (in bytes, after the kilobyte scaling) and Pieces.
  std::string valueBuffer;
  int64_t valueNumber = 0;

  // The plan of the latest size or count split.
  uint64_t pieceSize = 0;
  uint64_t pieceCount = 0;
  uint64_t remainder = 0;

  // The last piece written, or one more than that after a Pieces split.
  uint64_t lastPieceNumber = 0;
};

extern SessionState gSession;

#endif
