// The real system side of this platform with a few places where a test
// can step in: it sees every view the engine maps, and it can act (change
// the source, remove a piece) at the exact moment the engine asks for the
// free space, creates a piece or creates a shared file. Everything else,
// and everything these calls do, is the real system.
#ifndef DORVENAL_SYSTEM_SHIM_H
#define DORVENAL_SYSTEM_SHIM_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace shim {

struct MappedView {
  uint64_t offset;
  uint64_t length;
};

// Every view mapped since the last ClearHooks().
const std::vector<MappedView>& Views();

// Run just before the real call; the free-space query comes between the
// split's size check and its mapping of the source.
void BeforeFreeSpaceQuery(std::function<void()> action);
void BeforeCreatePiece(std::function<void(const std::string& path)> action);
void BeforeCreateShared(std::function<void(const std::string& path)> action);

void ClearHooks();

// Clears the hooks and the views when a test ends, whatever happened.
class Scope {
 public:
  Scope() { ClearHooks(); }
  ~Scope() { ClearHooks(); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
};

}  // namespace shim

#endif
