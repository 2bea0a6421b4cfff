// One slot per resource a job holds. A slot starts empty, is emptied when
// its resource is released, and cannot be copied, so nothing is released
// twice. Jobs release their slots explicitly, in their own order; the
// destructors only catch what a job forgot.
#ifndef DORVENAL_SLOTS_H
#define DORVENAL_SLOTS_H

#include <cstddef>

#include "platform.h"

class FileSlot {
 public:
  FileSlot() = default;
  FileSlot(const FileSlot&) = delete;
  FileSlot& operator=(const FileSlot&) = delete;
  ~FileSlot() { Release(); }

  bool Hold(FileHandle file) {
    file_ = file;
    return Held();
  }
  bool Held() const { return file_.value != kNoHandle; }
  FileHandle Get() const { return file_; }
  // Closes the file; false when the close failed.
  bool Release() {
    if (!Held()) return true;
    bool closed = CloseFile(file_);
    file_ = FileHandle{};
    return closed;
  }

 private:
  FileHandle file_;
};

class MappingSlot {
 public:
  MappingSlot() = default;
  MappingSlot(const MappingSlot&) = delete;
  MappingSlot& operator=(const MappingSlot&) = delete;
  ~MappingSlot() { Release(); }

  bool Hold(MappingHandle mapping) {
    mapping_ = mapping;
    return Held();
  }
  bool Held() const { return mapping_.value != kNoHandle; }
  MappingHandle Get() const { return mapping_; }
  bool Release() {
    if (!Held()) return true;
    bool closed = CloseMapping(mapping_);
    mapping_ = MappingHandle{};
    return closed;
  }

 private:
  MappingHandle mapping_;
};

#endif
