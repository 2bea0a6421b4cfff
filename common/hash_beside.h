// SHA-256 of the bytes a copy moves, made on threads beside the copy: each
// lane (a piece's hash, the whole file's) has a thread of its own for as
// long as it lives, to which the copy hands blocks as it reads them, so
// that the copy costs about as long as the slowest of the hashes alone.
#ifndef DORVENAL_HASH_BESIDE_H
#define DORVENAL_HASH_BESIDE_H

#include <cstddef>
#include <memory>
#include <vector>

#include "platform.h"
#include "sha256.h"

class HashBeside {
 public:
  // Blocks a lane holds at most, given and not yet hashed.
  static constexpr size_t kQueue = 4;

  // Lanes are running hashes (a piece's, the whole file's); every block
  // goes into each of them.
  explicit HashBeside(size_t lanes);
  ~HashBeside();
  HashBeside(const HashBeside&) = delete;
  HashBeside& operator=(const HashBeside&) = delete;

  // Hands the block to every lane, after the blocks before; its bytes must
  // stay as they are until Pending or Wait says it is hashed. Where no
  // thread can be had, or the block is small, it is hashed here.
  void Add(const void* data, size_t size);
  // Hashes the block before it returns: for bytes that will not stay.
  void AddNow(const void* data, size_t size);
  // Until no lane holds more than `most` blocks not yet hashed: the block
  // given most + 1 Adds ago may then be reused.
  void Pending(size_t most);
  // Until every block given is hashed.
  void Wait() { Pending(0); }
  // The lane's digest, which then starts again; false when the system's
  // hashing failed on the way.
  bool Final(size_t lane, Sha256Digest* digest);

 private:
  struct Block {
    const void* data = nullptr;
    size_t size = 0;
  };
  struct Lane {
    Sha256 hash;
    BesideTask task;
    BesideSignal given, hashed;  // a block handed over; a block done
    Block queue[kQueue];
    size_t added = 0;   // blocks handed over, counted by the caller
    size_t waited = 0;  // of those, seen hashed by the caller
    bool running = false;
    bool last = false;  // the lane's thread is to end at its next signal
  };
  static void RunLane(void* lane);
  // Until the lane holds at most `most` blocks not yet hashed.
  static void Catch(Lane& lane, size_t most);
  bool Start(Lane& lane);
  std::vector<std::unique_ptr<Lane>> lanes_;
};

#endif
