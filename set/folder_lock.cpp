#include "folder_lock.h"

#include <chrono>

#include "naming.h"
#include "stop_request.h"

namespace {

// A wait shorter than this goes unsaid.
constexpr std::chrono::seconds kQuietWait{1};

}  // namespace

bool FolderLock::Take(const std::string& dir, LockMode mode, StopReason* stop) {
  Release();
  path_ = MakeTemporaryPath(dir, "~dv", "lock");
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  for (;;) {
    SystemError error = kNoError;
    switch (TryLockFile(path_, mode, file_.Receive(), &error)) {
      case LockOutcome::kHeld:
      case LockOutcome::kNoLockHere:
        return true;
      case LockOutcome::kNotALockFile:
        *stop = StopReason{StopKind::kLockNotAFile, path_};
        return false;
      case LockOutcome::kOpenFailed:
        *stop = Failure(Role::kLock, Operation::kOpen, path_, error);
        return false;
      case LockOutcome::kCreateFailed:
        *stop = Failure(Role::kLock, Operation::kCreate, path_, error);
        return false;
      case LockOutcome::kLockFailed:
        *stop = Failure(Role::kLock, Operation::kLock, path_, error);
        return false;
      case LockOutcome::kBusy:
        break;
    }
    // Polled rather than blocked on, so that a stop ends the wait at once.
    if (StopRequested()) {
      *stop = StopReason{StopKind::kInterrupted, path_};
      return false;
    }
    if (!told && std::chrono::steady_clock::now() - start >= kQuietWait) {
      report_.Warn(Warning{WarningKind::kWaitingForLock, path_});
      told = true;
    }
    PauseBriefly();
  }
}

void FolderLock::Release() {
  if (!file_.Held()) return;
  RemoveLockFileIfAlone(path_, file_.Get());
  file_.Release();
}
