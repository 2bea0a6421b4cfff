#include "source_view.h"

namespace {
uint64_t gViewSizeForTests = 0;
}

uint64_t ViewSizeForSplit() { return gViewSizeForTests != 0 ? gViewSizeForTests : PreferredViewSize(); }

void SetViewSizeForTests(uint64_t bytes) { gViewSizeForTests = bytes; }

void SourceView::Attach(MappingHandle mapping, uint64_t fileSize, uint64_t viewSize) {
  Release();
  mapping_ = mapping;
  fileSize_ = fileSize;
  // A view must start on the system's granularity and reach at least one
  // granule past any offset it is mapped for.
  uint64_t granularity = MappingGranularity();
  uint64_t granules = viewSize / granularity;
  viewSize_ = (granules < 2 ? 2 : granules) * granularity;
}

const unsigned char* SourceView::Bytes(uint64_t offset, uint64_t wanted, uint64_t* available) {
  uint64_t left = fileSize_ - offset;
  if (wanted > left) wanted = left;
  bool covered = data_ != nullptr && offset >= base_ && offset + wanted <= base_ + length_;
  if (!covered) {
    if (!Release()) return nullptr;
    uint64_t granularity = MappingGranularity();
    uint64_t base = offset - offset % granularity;
    // At least what was asked for, even when that is more than one view.
    uint64_t length = offset - base + wanted > viewSize_ ? offset - base + wanted : viewSize_;
    if (length > fileSize_ - base) length = fileSize_ - base;
    data_ = MapView(mapping_, base, static_cast<size_t>(length));
    if (data_ == nullptr) return nullptr;
    base_ = base;
    length_ = length;
  }
  *available = base_ + length_ - offset;
  return data_ + (offset - base_);
}

bool SourceView::Release() {
  if (data_ == nullptr) return true;
  bool unmapped = UnmapView(data_, static_cast<size_t>(length_));
  data_ = nullptr;
  length_ = 0;
  return unmapped;
}
