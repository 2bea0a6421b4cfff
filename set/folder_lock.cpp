#include "folder_lock.h"

#include "naming.h"

bool FolderLock::Take(const std::string& dir, StopReason* stop) {
  path_ = MakeTemporaryPath(dir, "~dv", "lock");
  SystemError error = LockFile(path_, file_.Receive());
  if (error == kNoError) return true;
  *stop = Failure(Role::kLock, Operation::kLock, path_, error);
  return false;
}

void FolderLock::Release() {
  if (!file_.Held()) return;
  // Removed while still held: removed after the close, the name could be
  // taken from under a run that holds the file by then.
  RemoveFile(path_);
  file_.Release();
}
