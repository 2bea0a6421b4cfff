// SHA-256 of bytes given in any number of parts. The build links one
// implementation of Sha256: the system's (libcrypto natively; CNG on
// Windows, where it exists) or the portable one below, which is also there
// under its own names so that every build can check it.
#ifndef DORVENAL_SHA256_H
#define DORVENAL_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

using Sha256Digest = std::array<uint8_t, 32>;

// One hash at a time, reusable: Final ends it and the next Update begins a
// new one. One object per thread; objects are independent of each other.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, size_t size);
  // The digest of the bytes given since the start or the last Final; false
  // when the system's hashing failed on the way (the bytes are lost then).
  bool Final(Sha256Digest* digest);
  // Which implementation this object uses: "libcrypto", "bcrypt" or
  // "portable" (where the system has no hashing of its own).
  const char* Implementation() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The portable implementation, plain C++.
struct PortableSha256 {
  uint32_t hash[8];
  uint64_t totalBytes;
  uint8_t block[64];
};
void PortableSha256Start(PortableSha256* state);
void PortableSha256Update(PortableSha256* state, const void* data, size_t size);
// Ends the hash; the state must be started again before it is used.
Sha256Digest PortableSha256Final(PortableSha256* state);

#endif
