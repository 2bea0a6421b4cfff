// Recovery pieces beside a set (STEM.r1 ... STEM.rK): a header that
// describes the whole set, so that a set is rebuilt even without its
// manifest, then the piece's row of the code (recovery_code.h), as long as
// the longest data piece. Written by the split, read by join and repair.
#ifndef DORVENAL_RECOVERY_PIECES_H
#define DORVENAL_RECOVERY_PIECES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "job_result.h"
#include "platform.h"
#include "sha256.h"
#include "slots.h"

// The code a header names: the Cauchy rows of recovery_code.h over GF(2^8).
constexpr uint32_t kCauchyCode = 1;

struct RecoveryHeader {
  uint32_t dataCount = 0;
  uint32_t recoveryCount = 0;
  uint32_t index = 0;  // this piece: 1 .. recoveryCount
  uint32_t code = kCauchyCode;
  uint64_t pieceLength = 0;          // the longest data piece: the row's length
  std::vector<uint64_t> sizes;       // of data pieces 1 .. dataCount
  std::vector<Sha256Digest> digests; // of data pieces 1 .. dataCount
  Sha256Digest whole{};              // of the file a join re-creates
};

// Bytes of the header of a set of dataCount pieces.
uint64_t RecoveryHeaderBytes(uint64_t dataCount);

// The header's bytes, ending with a SHA-256 of the bytes before it, so
// that a damaged header is never taken for the set's description.
std::string FormatRecoveryHeader(const RecoveryHeader& header);
// Reads a header at the file's position; false for anything that is not a
// whole, undamaged header of ours.
bool ReadRecoveryHeader(FileHandle file, RecoveryHeader* header);

// The recovery number of a file of the set named stemName (its "r7"), or 0.
uint64_t RecoveryNumberOf(const std::string& fileName, const std::string& stemName);
// The highest recovery number among the files of the folder; 0 for none.
SystemError FindRecoveryPieces(const std::string& dir, const std::string& stemName, uint64_t* highest);

// Reads exactly length bytes unless the file ends first (*got says).
SystemError ReadFull(FileHandle file, unsigned char* buffer, size_t length, size_t* got);

// Files a pass creates (recovery pieces, rebuilt pieces): closed, and
// removed unless kept, whatever way the work ends.
struct NewFiles {
  std::vector<std::string> paths;
  std::unique_ptr<FileSlot[]> files;
  bool kept = false;
  ~NewFiles() {
    for (size_t k = 0; files && k < paths.size(); ++k) files[k].Release();
    for (size_t k = 0; !kept && k < paths.size(); ++k) RemoveFile(paths[k]);
  }
};

// One pass over the rows of a code, a column of chunks at a time, so that
// memory stays bounded whatever the pieces' lengths: every input is read
// sequentially (shorter ones count as zeros after their bytes), the code
// fills the outputs, each output takes its first `bytes` bytes.
struct PassInput {
  FileHandle file;  // at the row's first byte
  uint64_t bytes = 0;
  FileHandle copy;  // where set, the bytes read also go there, from copyAt on
  uint64_t copyAt = 0;
};
struct PassOutput {
  FileHandle file;  // none: the bytes are only hashed
  uint64_t bytes = 0;
  bool placed = false;  // written from `at` on rather than at the file's position
  uint64_t at = 0;
};
enum class PassEnd { kDone, kReadFailed, kEndedEarly, kWriteFailed, kCopyFailed, kStopped, kCodeFailed };
struct PassOutcome {
  PassEnd end = PassEnd::kDone;
  size_t at = 0;  // the input or output concerned
  SystemError code = kNoError;
};
using ColumnCode = bool (*)(const void* context, size_t length, const unsigned char* const* in,
                            unsigned char* const* out);
// What a pass does beside the code: every output hashed, the SHA-256 of
// outputPrefixes[k] then its bytes; the first hashedInputs inputs as well
// (the bytes read, not the zeros after them); and `tell`, where set, told
// after each column how far every row is done.
struct PassWork {
  std::vector<std::string> outputPrefixes;
  size_t hashedInputs = 0;
  void (*tell)(uint64_t through, void* context) = nullptr;
  void* tellContext = nullptr;
  std::vector<Sha256Digest> outputDigests;  // after the pass
  std::vector<Sha256Digest> inputDigests;
};
PassOutcome RunColumnPass(uint64_t rowLength, const std::vector<PassInput>& inputs,
                          const std::vector<PassOutput>& outputs, ColumnCode code, const void* context,
                          PassWork* work);

class PieceSet;
// After the last piece of a split, before its manifest: recovery pieces
// 1 .. recoveryCount of the pieces written (read back from their temporary
// names), under temporary names that the set's commit gives theirs. The
// pieces' sizes must be recorded (PieceSet::RecordSizes) and hashed. A
// stop names the piece or recovery piece concerned.
bool WriteRecoveryPieces(PieceSet& pieces, uint32_t recoveryCount, const std::string& targetDir, StopReason* stop);

#endif
