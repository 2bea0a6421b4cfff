// The lock of a folder that holds sets: runs that give sets their names
// there take it alone, so that their renames never interleave into a set
// of both; joins take it together, so that they never read half a change.
// The system frees it when a run ends, however it ends.
#ifndef DORVENAL_FOLDER_LOCK_H
#define DORVENAL_FOLDER_LOCK_H

#include <string>

#include "job_report.h"
#include "job_result.h"
#include "slots.h"

class FolderLock {
 public:
  // `report` hears when the lock keeps the run waiting.
  explicit FolderLock(JobReport& report) : report_(report) {}
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { Release(); }

  // Waits until this run holds the lock of dir in `mode`, or a stop is
  // requested. A folder where no lock file can be made (read-only media)
  // is worked in without one: true, and nothing is held.
  bool Take(const std::string& dir, LockMode mode, StopReason* stop);
  void Release();
  bool Held() const { return file_.Held(); }

 private:
  JobReport& report_;
  std::string path_;
  FileSlot file_;
};

#endif
