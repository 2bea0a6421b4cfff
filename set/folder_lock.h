// The lock of a folder that holds sets: runs that give sets their names
// there take turns, so that their renames never interleave into a set of
// both. The system frees it when a run ends, however it ends.
#ifndef DORVENAL_FOLDER_LOCK_H
#define DORVENAL_FOLDER_LOCK_H

#include <string>

#include "job_result.h"
#include "slots.h"

class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { Release(); }

  // Waits until this run alone holds the lock of dir.
  bool Take(const std::string& dir, StopReason* stop);
  void Release();
  bool Held() const { return file_.Held(); }

 private:
  std::string path_;
  FileSlot file_;
};

#endif
