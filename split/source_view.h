// A read-only window onto a mapped source. Only one view is mapped at a
// time, so a 32-bit process can work through sources far larger than its
// address space; on a 64-bit system one view usually covers the file.
#ifndef DORVENAL_SOURCE_VIEW_H
#define DORVENAL_SOURCE_VIEW_H

#include <cstdint>

#include "platform.h"

class SourceView {
 public:
  SourceView() = default;
  SourceView(const SourceView&) = delete;
  SourceView& operator=(const SourceView&) = delete;
  ~SourceView() { Release(); }

  void Attach(MappingHandle mapping, uint64_t fileSize, uint64_t viewSize);

  // The bytes from `offset` on, at least `wanted` of them (or up to the end
  // of the file, if that is nearer), mapped if needed. *available is how
  // many can be read from the result. Null when the view cannot be mapped.
  const unsigned char* Bytes(uint64_t offset, uint64_t wanted, uint64_t* available);

  bool Held() const { return data_ != nullptr; }
  // Unmaps the current view; false when the system refused.
  bool Release();

 private:
  MappingHandle mapping_;
  uint64_t fileSize_ = 0;
  uint64_t viewSize_ = 0;
  uint64_t base_ = 0;
  uint64_t length_ = 0;
  const unsigned char* data_ = nullptr;
};

// Bytes a view should cover on this system, unless a test asks for less.
uint64_t ViewSizeForSplit();
void SetViewSizeForTests(uint64_t bytes);  // 0 restores the system's choice

#endif
