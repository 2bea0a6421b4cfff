// The check of a set against its checksum manifest, without joining: each
// piece, and the re-created file where it lies beside them, is hashed and
// held against its line.
#ifndef DORVENAL_VERIFY_JOB_H
#define DORVENAL_VERIFY_JOB_H

#include <string>

#include "job_result.h"

struct VerifyRequest {
  std::string firstPiecePath;  // the ".1" piece
};

enum class Verdict {
  kMatches,
  kDiffers,
  kUnreadable,  // missing, or it cannot be read
  kUnlisted,    // a piece beyond those the manifest lists
  kNotRegular,  // a FIFO, a device or a folder at its name, never read
};

class VerifyReport {
 public:
  virtual ~VerifyReport() = default;
  // One file checked, in the manifest's order; path as the set names it.
  virtual void Checked(const std::string& path, Verdict verdict) = 0;
  // A set with recovery pieces: how many of its pieces and recovery pieces
  // do not match, and how many lost ones its recovery pieces can rebuild.
  virtual void Repairable(uint64_t lost, uint64_t rebuildable) { static_cast<void>(lost), static_cast<void>(rebuildable); }
};

// Finished once every file was checked, whatever the verdicts; stopped
// when the set has no manifest (kManifestMissing), the manifest is not one
// of this set (kManifestInvalid), or the path names no first piece.
JobResult PerformVerifyJob(const VerifyRequest& request, VerifyReport& report);

#endif
