#include "verify_job.h"

#include <memory>
#include <new>
#include <vector>

#include "hash_beside.h"
#include "naming.h"
#include "set_change.h"
#include "set_manifest.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

struct VerifyRun {
  std::vector<unsigned char> buffer;
  HashBeside hashes{1};  // after the buffer, so that it ends first
};

// The file's digest; false when it cannot be opened or read to its end.
bool HashFile(VerifyRun& run, const std::string& path, Sha256Digest* digest) {
  FileSlot file;
  bool notRegular = false;
  if (OpenRegularFile(path, file.Receive(), &notRegular) != kNoError || notRegular) return false;
  if (run.buffer.empty()) run.buffer.resize(2 * kHashBesideBlock);
  for (size_t turn = 0;; turn ^= 1) {
    unsigned char* block = run.buffer.data() + turn * kHashBesideBlock;
    size_t got = 0;
    if (StopRequested() || ReadBlock(file.Get(), block, kHashBesideBlock, &got) != kNoError) {
      run.hashes.Final(0, digest);  // ends the hash, so that the next file starts afresh
      return false;
    }
    if (got == 0) break;
    run.hashes.Add(block, got);
  }
  return run.hashes.Final(0, digest);
}

Verdict Check(VerifyRun& run, const std::string& path, const Sha256Digest& expected) {
  Sha256Digest digest;
  if (!HashFile(run, path, &digest)) return Verdict::kUnreadable;
  return digest == expected ? Verdict::kMatches : Verdict::kDiffers;
}

JobEnd RunVerify(const VerifyRequest& request, VerifyReport& report, StopReason* stop) {
  if (!IsFirstPiecePath(request.firstPiecePath)) {
    *stop = StopReason{StopKind::kNotFirstPiece, request.firstPiecePath};
    return JobEnd::kStopped;
  }
  const PieceSetName set = SplitFirstPiecePath(request.firstPiecePath);
  const std::string stem = set.pieceDir + set.stemName;
  if (!RefuseUnfinishedChange(stem, stop)) return JobEnd::kStopped;
  const std::string manifestPath = MakeManifestName(stem);
  uint64_t size = 0;
  if (!FindFileExact(manifestPath, &size)) {
    *stop = StopReason{StopKind::kManifestMissing, manifestPath};
    return JobEnd::kStopped;
  }
  uint64_t present = 0;
  while (FindFileExact(MakePieceName(stem, DecimalText(present + 1)), &size)) ++present;
  // Room for the pieces found and for as many again that are missing.
  const uint64_t maxBytes = (2 * present + 2) * kManifestLineBytes;
  const std::string restoredName = RestoreFileName(set.stemName);
  SetManifest manifest;
  if (!ReadSetManifest(manifestPath, set.stemName, restoredName, maxBytes, &manifest, stop)) return JobEnd::kStopped;
  VerifyRun run;
  const uint64_t listed = manifest.pieces.size();
  for (uint64_t number = 1; number <= listed; ++number) {
    const std::string piece = MakePieceName(stem, DecimalText(number));
    report.Checked(piece, Check(run, piece, manifest.pieces[number - 1]));
    if (StopRequested()) {
      *stop = StopReason{StopKind::kInterrupted, piece};
      return JobEnd::kStopped;
    }
  }
  const std::string next = MakePieceName(stem, DecimalText(listed + 1));
  if (FindFileExact(next, &size)) report.Checked(next, Verdict::kUnlisted);
  const std::string restored = set.pieceDir + restoredName;
  if (FindFileExact(restored, &size)) report.Checked(restored, Check(run, restored, manifest.whole));
  return JobEnd::kFinished;
}

}  // namespace

JobResult PerformVerifyJob(const VerifyRequest& request, VerifyReport& report) {
  JobResult result;
  try {
    result.end = RunVerify(request, report, &result.reason);
  } catch (const std::bad_alloc&) {
    result = JobResult{JobEnd::kStopped, StopReason{StopKind::kLowMemory, std::string()}};
  }
  return result;
}
