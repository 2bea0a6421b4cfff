// The kernel's copy between two files.
#include "platform.h"

SystemError CopyInKernel(FileHandle, FileHandle, uint64_t, uint64_t* copied, bool* unsupported) {
  *copied = 0;
  *unsupported = true;
  return kNoError;
}
