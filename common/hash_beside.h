// SHA-256 of the bytes a copy moves, made on threads beside the copy: a
// block is hashed while the next one is read and written, so that the
// copy costs about as long as the slower of the two alone.
#ifndef DORVENAL_HASH_BESIDE_H
#define DORVENAL_HASH_BESIDE_H

#include <cstddef>
#include <memory>
#include <vector>

#include "platform.h"
#include "sha256.h"

class HashBeside {
 public:
  // Lanes are running hashes (a piece's, the whole file's); every block
  // goes into each of them.
  explicit HashBeside(size_t lanes);
  ~HashBeside() { Wait(); }
  HashBeside(const HashBeside&) = delete;
  HashBeside& operator=(const HashBeside&) = delete;

  // Starts hashing the block into every lane, once the block before is
  // done; the bytes must stay as they are until the next Add, AddNow or
  // Wait returns. Where no thread can be started, the block is hashed here.
  void Add(const void* data, size_t size);
  // Hashes the block before it returns: for bytes that will not stay.
  void AddNow(const void* data, size_t size);
  // Until every block given is hashed.
  void Wait();
  // The lane's digest, which then starts again; false when the system's
  // hashing failed on the way.
  bool Final(size_t lane, Sha256Digest* digest);

 private:
  struct Lane {
    Sha256 hash;
    BesideTask task;
    const void* data = nullptr;
    size_t size = 0;
  };
  static void HashBlock(void* lane);
  std::vector<std::unique_ptr<Lane>> lanes_;
};

#endif
