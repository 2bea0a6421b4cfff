// The one copy of file bytes the jobs make: the source into a piece, a
// piece into the joined file, a file into its hash alone. In the kernel
// where it can; otherwise, and always when hashed, through one buffer,
// whose blocks the hashes take on a thread beside the next read and write.
#ifndef DORVENAL_COPY_RANGE_H
#define DORVENAL_COPY_RANGE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "hash_beside.h"
#include "platform.h"

// Bytes of one block: one call of the kernel's copy, one hash handed to a
// thread, one buffer's turn; a stop is seen between two. Large enough
// that starting a thread is lost in the time a block takes to hash; small
// enough that a stop is seen within a fraction of a second on a slow disk.
constexpr size_t kCopyBlock = size_t{2} << 20;
// A hashed copy reads into a ring of HashBeside::kQueue blocks of this
// size, so that it reads on while the hashes catch up: the same memory as
// two blocks of the copy, and each fits a processor's nearest cache.
constexpr size_t kHashedBlock = size_t{1} << 20;
// Bytes of one read or write call through the buffer: larger calls ran
// several times slower, and unevenly, under Wine; on POSIX the system
// layer's own caps are smaller still.
constexpr size_t kCopyCall = size_t{256} << 10;

// How a copy ended, and on which side, so that each caller names the file.
enum class CopyEnd {
  kDone,
  kStopped,      // a stop was requested
  kReadFailed,   // reading `from` failed (code)
  kWriteFailed,  // writing `to` failed (code)
  kEndedEarly,   // `from` ended before the length
  kReadsOn,      // `from` still gave bytes after the length it counted
};

struct CopyOutcome {
  CopyEnd end = CopyEnd::kDone;
  SystemError code = kNoError;
};

class CopyRange {
 public:
  CopyRange() = default;
  CopyRange(const CopyRange&) = delete;
  CopyRange& operator=(const CopyRange&) = delete;

  // From now on every byte copied also goes into these hashes, through
  // the buffer; null for none.
  void HashInto(HashBeside* hashes);
  // Copies exactly length bytes from `from`'s position to `to`'s, moving
  // both; `to` none (kNoHandle) only reads (and hashes) them. No hash still
  // reads the buffer when it returns.
  CopyOutcome Copy(FileHandle from, FileHandle to, uint64_t length);
  // After a copy of the length a file counted: the next read must find its
  // end, or the file reads other than it counts (a file of /proc, one
  // written to meanwhile).
  CopyOutcome CheckEnd(FileHandle from);
  // Bytes every call so far has moved: the caller's progress.
  uint64_t bytes() const { return bytes_; }
  // tell(bytes(), context) after each block that leaves more of a copy to
  // do, so that one long copy shows its progress; null for none.
  void TellBlocks(void (*tell)(uint64_t bytes, void* context), void* context) {
    tell_ = tell;
    tellContext_ = context;
  }

 private:
  uint64_t InKernel(FileHandle from, FileHandle to, uint64_t length, CopyOutcome* outcome);
  CopyOutcome ThroughBuffer(FileHandle from, FileHandle to, uint64_t length);

  HashBeside* hashes_ = nullptr;
  bool kernel_ = true;  // until the system says it cannot
  uint64_t bytes_ = 0;
  void (*tell_)(uint64_t bytes, void* context) = nullptr;
  void* tellContext_ = nullptr;
  // Taken at the first copy, whether or not the kernel then copies, so that
  // a run short of memory stops before its first byte rather than where the
  // kernel first declines; left uninitialised, it costs no memory unused.
  struct GiveBack {
    void operator()(unsigned char* block) const { ::operator delete(block); }
  };
  std::unique_ptr<unsigned char, GiveBack> buffer_;
};

#endif
