#include "verify_job.h"

#include <new>

#include "copy_range.h"
#include "hash_beside.h"
#include "naming.h"
#include "set_change.h"
#include "set_manifest.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

struct VerifyRun {
  VerifyRun() { copy.HashInto(&hashes); }
  HashBeside hashes{1};
  CopyRange copy;  // after the hashes, so that it ends first
};

// The file's digest, of as many bytes as it counts; false when it cannot
// be opened or read, or reads other than it counts.
bool HashFile(VerifyRun& run, const std::string& path, Sha256Digest* digest) {
  FileSlot file;
  bool notRegular = false;
  FileStamp stamp;
  bool read = OpenRegularFile(path, file.Receive(), &notRegular) == kNoError &&
              GetFileStamp(file.Get(), &stamp) == kNoError &&
              run.copy.Copy(file.Get(), FileHandle(), stamp.size).end == CopyEnd::kDone &&
              run.copy.CheckEnd(file.Get()).end == CopyEnd::kDone;
  // Ends the hash either way, so that the next file starts afresh.
  return run.hashes.Final(0, digest) && read;
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
  if (!NameIsTaken(manifestPath)) {
    *stop = StopReason{StopKind::kManifestMissing, manifestPath};
    return JobEnd::kStopped;
  }
  uint64_t present = 0;
  while (FindFileExact(MakePieceName(stem, DecimalText(present + 1)), &size)) ++present;
  // Room for as many pieces again as were found, which may be missing.
  SetManifest manifest;
  if (!ReadSetManifest(manifestPath, set.stemName, ManifestByteLimit(2 * present + 1), &manifest, stop)) {
    return JobEnd::kStopped;
  }
  VerifyRun run;
  uint64_t lostData = 0;
  const uint64_t listed = manifest.pieces.size();
  for (uint64_t number = 1; number <= listed; ++number) {
    const std::string piece = MakePieceName(stem, DecimalText(number));
    const Verdict verdict = Check(run, piece, manifest.pieces[number - 1]);
    report.Checked(piece, verdict);
    lostData += verdict == Verdict::kMatches ? 0 : 1;
    if (StopRequested()) {
      *stop = StopReason{StopKind::kInterrupted, piece};
      return JobEnd::kStopped;
    }
  }
  uint64_t lost = 0;
  for (uint64_t j = 1; j <= manifest.recovery.size(); ++j) {
    const std::string piece = MakePieceName(stem, "r" + DecimalText(j));
    const Verdict verdict = Check(run, piece, manifest.recovery[j - 1]);
    report.Checked(piece, verdict);
    lost += verdict == Verdict::kMatches ? 0 : 1;
  }
  const std::string next = MakePieceName(stem, DecimalText(listed + 1));
  if (FindFileExact(next, &size)) report.Checked(next, Verdict::kUnlisted);
  const std::string restored = set.pieceDir + manifest.wholeName;
  if (FindFileExact(restored, &size)) report.Checked(restored, Check(run, restored, manifest.whole));
  // Any K of the pieces and recovery pieces may be lost.
  const uint64_t coded = manifest.recovery.size();
  if (coded > 0 && lost + lostData > 0) report.Repairable(lost + lostData, coded);
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
