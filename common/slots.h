// One slot per open file. A slot starts empty, is emptied when its file is
// closed, and cannot be copied, so nothing is closed twice. Jobs release
// their slots explicitly, in their own order; the destructor only catches
// what a job forgot.
#ifndef DORVENAL_SLOTS_H
#define DORVENAL_SLOTS_H

#include "platform.h"

class FileSlot {
 public:
  FileSlot() = default;
  FileSlot(const FileSlot&) = delete;
  FileSlot& operator=(const FileSlot&) = delete;
  ~FileSlot() { Release(); }

  FileHandle* Receive() { return &file_; }  // for the call that opens it
  bool Held() const { return file_.value != kNoHandle; }
  FileHandle Get() const { return file_; }
  // Closes the file; the close's error, kNoError when none was held.
  SystemError Release() {
    if (!Held()) return kNoError;
    SystemError error = CloseFile(file_);
    file_ = FileHandle{};
    return error;
  }

 private:
  FileHandle file_;
};

// The same for a folder held open.
class FolderSlot {
 public:
  FolderSlot() = default;
  FolderSlot(const FolderSlot&) = delete;
  FolderSlot& operator=(const FolderSlot&) = delete;
  ~FolderSlot() { Release(); }

  FolderHandle* Receive() { return &folder_; }
  FolderHandle Get() const { return folder_; }
  void Release() {
    if (folder_.value != kNoHandle) CloseFolder(folder_);
    folder_ = FolderHandle{};
  }

 private:
  FolderHandle folder_;
};

#endif
