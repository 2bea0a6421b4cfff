// Windows has no erasure coding of its own, and Debian builds no ISA-L for
// MinGW: the recovery code's portable arithmetic does all of it.
#include "platform.h"

bool SystemErasureApply(size_t, uint32_t, uint32_t, const unsigned char*, const unsigned char* const*,
                        unsigned char* const*) {
  return false;
}

const char* SystemErasureName() { return nullptr; }
