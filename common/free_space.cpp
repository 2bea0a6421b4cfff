#include "free_space.h"

int CheckFreeSpace(const std::string& targetDir, uint64_t bytesNeeded, SystemError* queryError) {
  uint64_t freeBytes = 0;
  SystemError error = QueryFreeBytes(targetDir, &freeBytes);
  if (queryError != nullptr) *queryError = error;
  return CompareFreeSpace(error == kNoError, freeBytes, bytesNeeded);
}

int CompareFreeSpace(bool queried, uint64_t freeBytes, uint64_t bytesNeeded) {
  // Equal is enough. Both sides are 64-bit, so a need of 4 GiB or more is
  // weighed whole.
  return queried && freeBytes >= bytesNeeded ? 1 : 0;
}
