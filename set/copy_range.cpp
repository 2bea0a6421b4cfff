#include "copy_range.h"

#include "stop_request.h"

namespace {

size_t AtMost(uint64_t rest, size_t most) { return rest < most ? static_cast<size_t>(rest) : most; }

// Reads until the block is full or the file ends (ReadSome may stop at
// less), so that each block is worth a thread.
SystemError ReadBlock(FileHandle file, unsigned char* block, size_t length, size_t* got) {
  *got = 0;
  while (*got < length) {
    size_t part = 0;
    SystemError error = ReadSome(file, block + *got, AtMost(length - *got, kCopyCall), &part);
    if (error != kNoError) return error;
    if (part == 0) break;
    *got += part;
  }
  return kNoError;
}

SystemError WriteBlock(FileHandle file, const unsigned char* block, size_t length) {
  SystemError error = kNoError;
  for (size_t done = 0; done < length && error == kNoError; done += kCopyCall) {
    error = WriteAll(file, block + done, AtMost(length - done, kCopyCall));
  }
  return error;
}

}  // namespace

// The bytes it copied. A failure of the kernel's copy does not say which
// file failed: the buffer takes over from where it stopped, and its read
// or write tells. A source that ends early shows there too.
uint64_t CopyRange::InKernel(FileHandle from, FileHandle to, uint64_t length, CopyOutcome* outcome) {
  uint64_t done = 0;
  while (kernel_ && done < length) {
    if (StopRequested()) {
      *outcome = CopyOutcome{CopyEnd::kStopped, kNoError};
      return done;
    }
    uint64_t copied = 0;
    bool unsupported = false;
    SystemError error = CopyInKernel(from, to, AtMost(length - done, kCopyBlock), &copied, &unsupported);
    done += copied;
    bytes_ += copied;
    if (error != kNoError || unsupported) kernel_ = false;
    if (copied == 0) return done;  // the buffer finds out why
    if (tell_ != nullptr && done < length) tell_(bytes_, tellContext_);
  }
  return done;
}

void CopyRange::HashInto(HashBeside* hashes) {
  hashes_ = hashes;
  buffer_.reset();  // a hashed copy reads into a ring of blocks
}

namespace {

size_t BlockSize(bool hashed) { return hashed ? kHashedBlock : kCopyBlock; }
size_t BlockCount(bool hashed) { return hashed ? HashBeside::kQueue : 1; }

}  // namespace

CopyOutcome CopyRange::Copy(FileHandle from, FileHandle to, uint64_t length) {
  if (!buffer_) {
    const bool hashed = hashes_ != nullptr;
    buffer_.reset(static_cast<unsigned char*>(::operator new(BlockCount(hashed) * BlockSize(hashed))));
  }
  CopyOutcome outcome;
  uint64_t done = 0;
  if (hashes_ == nullptr && to.value != kNoHandle) done = InKernel(from, to, length, &outcome);
  if (outcome.end != CopyEnd::kDone || done == length) return outcome;
  return ThroughBuffer(from, to, length - done);
}

CopyOutcome CopyRange::ThroughBuffer(FileHandle from, FileHandle to, uint64_t length) {
  const bool hashed = hashes_ != nullptr;
  const size_t blocks = BlockCount(hashed), blockSize = BlockSize(hashed);
  CopyOutcome outcome;
  for (size_t turn = 0; length > 0; turn = (turn + 1) % blocks) {
    if (StopRequested()) {
      outcome = CopyOutcome{CopyEnd::kStopped, kNoError};
      break;
    }
    unsigned char* block = buffer_.get() + turn * blockSize;
    // The block read into this one `blocks` turns ago is hashed.
    if (hashed) hashes_->Pending(blocks - 1);
    size_t got = 0;
    SystemError error = ReadBlock(from, block, AtMost(length, blockSize), &got);
    if (error != kNoError) outcome = CopyOutcome{CopyEnd::kReadFailed, error};
    else if (got == 0) outcome = CopyOutcome{CopyEnd::kEndedEarly, kNoError};
    if (outcome.end != CopyEnd::kDone) break;
    // The hashes of this block run while the next ones are read and written.
    if (hashed) hashes_->Add(block, got);
    error = to.value != kNoHandle ? WriteBlock(to, block, got) : kNoError;
    if (error != kNoError) {
      outcome = CopyOutcome{CopyEnd::kWriteFailed, error};
      break;
    }
    bytes_ += got;
    length -= got;
    if (tell_ != nullptr && length > 0) tell_(bytes_, tellContext_);
  }
  if (hashes_ != nullptr) hashes_->Wait();
  return outcome;
}

CopyOutcome CopyRange::CheckEnd(FileHandle from) {
  unsigned char byte = 0;
  size_t got = 0;
  SystemError error = ReadSome(from, &byte, 1, &got);
  if (error != kNoError) return CopyOutcome{CopyEnd::kReadFailed, error};
  return CopyOutcome{got == 0 ? CopyEnd::kDone : CopyEnd::kReadsOn, kNoError};
}
