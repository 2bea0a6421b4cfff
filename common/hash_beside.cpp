#include "hash_beside.h"

namespace {

// Smaller blocks are hashed by the caller: a hand-over costs more than
// hashing them.
constexpr size_t kSmallestBeside = size_t{256} << 10;

}  // namespace

HashBeside::HashBeside(size_t lanes) {
  for (size_t k = 0; k < lanes; ++k) lanes_.emplace_back(new Lane);
}

HashBeside::~HashBeside() {
  Wait();
  for (std::unique_ptr<Lane>& lane : lanes_) {
    if (lane->running) {
      lane->last = true;
      RaiseSignal(&lane->given);
      WaitBeside(&lane->task);
    }
    DestroySignal(&lane->given);
    DestroySignal(&lane->hashed);
  }
}

// The lane's thread: the blocks in the order given, until told to end.
void HashBeside::RunLane(void* context) {
  Lane& lane = *static_cast<Lane*>(context);
  for (size_t next = 0;; next = (next + 1) % kQueue) {
    AwaitSignal(&lane.given);
    if (lane.last) return;
    lane.hash.Update(lane.queue[next].data, lane.queue[next].size);
    RaiseSignal(&lane.hashed);
  }
}

// A thread for the lane, at its first block; false where none can be had.
bool HashBeside::Start(Lane& lane) {
  if (lane.running) return true;
  if (lane.given.value == kNoHandle && !CreateSignal(&lane.given)) return false;
  if (lane.hashed.value == kNoHandle && !CreateSignal(&lane.hashed)) return false;
  lane.running = StartBeside(RunLane, &lane, &lane.task);
  return lane.running;
}

void HashBeside::Add(const void* data, size_t size) {
  for (std::unique_ptr<Lane>& lane : lanes_) {
    if (size < kSmallestBeside || !Start(*lane)) {
      Pending(0);
      lane->hash.Update(data, size);
      continue;
    }
    Catch(*lane, kQueue - 1);  // room in the queue
    lane->queue[lane->added % kQueue] = Block{data, size};
    ++lane->added;
    RaiseSignal(&lane->given);
  }
}

void HashBeside::AddNow(const void* data, size_t size) {
  Wait();
  for (std::unique_ptr<Lane>& lane : lanes_) lane->hash.Update(data, size);
}

void HashBeside::Catch(Lane& lane, size_t most) {
  while (lane.added - lane.waited > most) {
    AwaitSignal(&lane.hashed);
    ++lane.waited;
  }
}

void HashBeside::Pending(size_t most) {
  for (std::unique_ptr<Lane>& lane : lanes_) Catch(*lane, most);
}

// The other lanes hash on: the whole file's need not wait for a piece's end.
bool HashBeside::Final(size_t lane, Sha256Digest* digest) {
  Catch(*lanes_[lane], 0);
  return lanes_[lane]->hash.Final(digest);
}
