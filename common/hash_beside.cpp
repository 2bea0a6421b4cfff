#include "hash_beside.h"

namespace {

// Smaller blocks are hashed by the caller: starting a thread costs more
// than hashing them.
constexpr size_t kSmallestBeside = size_t{256} << 10;

}  // namespace

HashBeside::HashBeside(size_t lanes) {
  for (size_t k = 0; k < lanes; ++k) lanes_.emplace_back(new Lane);
}

void HashBeside::HashBlock(void* lane) {
  Lane& self = *static_cast<Lane*>(lane);
  self.hash.Update(self.data, self.size);
}

void HashBeside::Add(const void* data, size_t size) {
  Wait();
  if (size < kSmallestBeside) return AddNow(data, size);
  for (std::unique_ptr<Lane>& lane : lanes_) {
    lane->data = data;
    lane->size = size;
    if (!StartBeside(HashBlock, lane.get(), &lane->task)) HashBlock(lane.get());
  }
}

void HashBeside::AddNow(const void* data, size_t size) {
  Wait();
  for (std::unique_ptr<Lane>& lane : lanes_) lane->hash.Update(data, size);
}

void HashBeside::Wait() {
  for (std::unique_ptr<Lane>& lane : lanes_) WaitBeside(&lane->task);
}

bool HashBeside::Final(size_t lane, Sha256Digest* digest) {
  Wait();
  return lanes_[lane]->hash.Final(digest);
}
