// The code behind recovery pieces: a systematic Reed–Solomon code over
// GF(2^8) whose recovery rows are the Cauchy rows of ISA-L's
// gf_gen_cauchy1_matrix (row N + j, column i: the inverse of (N + j) xor i),
// so that ISA-L, where the system has it, and the portable arithmetic give
// the same bytes. Data pieces are numbered 0 .. N-1 here, recovery pieces
// N .. N+K-1; shorter pieces count as padded with zeros to the longest.
#ifndef DORVENAL_RECOVERY_CODE_H
#define DORVENAL_RECOVERY_CODE_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Every piece of a coded set, data and recovery, is one row of GF(2^8).
constexpr uint32_t kMaxCodedPieces = 256;

class RecoveryCode {
 public:
  // N data pieces and K recovery pieces: 1 <= N, 1 <= K, N + K <= 256.
  static bool Fits(uint64_t dataCount, uint64_t recoveryCount);

  // False where the counts do not fit.
  bool Init(uint32_t dataCount, uint32_t recoveryCount);
  uint32_t dataCount() const { return dataCount_; }
  uint32_t recoveryCount() const { return recoveryCount_; }

  // recovery[j][0..length) for every j < K from data[i][0..length), i < N.
  void Encode(size_t length, const unsigned char* const* data, unsigned char* const* recovery) const;

  // From exactly N surviving pieces (their numbers in `present`, in any
  // order, with their bytes), the lost ones (numbers in `lost`, data or
  // recovery) into lostBytes. False where the survivors are not N distinct
  // pieces of this code.
  bool Rebuild(size_t length, const std::vector<uint32_t>& present, const unsigned char* const* presentBytes,
               const std::vector<uint32_t>& lost, unsigned char* const* lostBytes) const;

  // Which arithmetic Encode and Rebuild use: the system's ("isa-l") or "portable".
  static const char* Implementation();
  // For tests and measurements: the portable arithmetic even where the
  // system has its own. Set it before any coding starts, not during.
  static void UsePortableOnly(bool portableOnly);

 private:
  uint32_t dataCount_ = 0;
  uint32_t recoveryCount_ = 0;
};

#endif
