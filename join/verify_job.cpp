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
bool HashFile(VerifyRun& run, const std::string& path, Sha256Digest* digest, bool* notRegular) {
  FileSlot file;
  FileStamp stamp;
  bool read = OpenRegularFile(path, file.Receive(), notRegular) == kNoError &&
              GetFileStamp(file.Get(), &stamp) == kNoError &&
              run.copy.Copy(file.Get(), FileHandle(), stamp.size).end == CopyEnd::kDone &&
              run.copy.CheckEnd(file.Get()).end == CopyEnd::kDone;
  // Ends the hash either way, so that the next file starts afresh.
  return run.hashes.Final(0, digest) && read;
}

Verdict Check(VerifyRun& run, const std::string& path, const Sha256Digest& expected) {
  Sha256Digest digest;
  bool notRegular = false;
  if (!HashFile(run, path, &digest, &notRegular)) return notRegular ? Verdict::kNotRegular : Verdict::kUnreadable;
  return digest == expected ? Verdict::kMatches : Verdict::kDiffers;
}

// The pieces present from 1 on; none, or one that cannot be looked up, is
// told as what it is before the manifest is read.
bool CountPieces(const std::string& stem, uint64_t* present, StopReason* stop) {
  for (;;) {
    const std::string piece = MakePieceName(stem, DecimalText(*present + 1));
    uint64_t size = 0;
    bool found = false;
    const SystemError error = LookUpFile(piece, &size, &found);
    if (error != kNoError) *stop = Failure(Role::kPiece, Operation::kLookUp, piece, error);
    if (error == kNoError && !found && *present == 0) *stop = StopReason{StopKind::kFirstPieceMissing, piece};
    if (error != kNoError || !found) return error == kNoError && *present != 0;
    ++*present;
  }
}

JobEnd RunVerify(const VerifyRequest& request, VerifyReport& report, StopReason* stop) {
  if (!IsFirstPiecePath(request.firstPiecePath)) {
    *stop = StopReason{StopKind::kNotFirstPiece, request.firstPiecePath};
    return JobEnd::kStopped;
  }
  const PieceSetName set = SplitFirstPiecePath(request.firstPiecePath);
  const std::string stem = set.pieceDir + set.stemName;
  if (!RefuseUnfinishedChange(stem, stop)) return JobEnd::kStopped;
  uint64_t present = 0;
  if (!CountPieces(stem, &present, stop)) return JobEnd::kStopped;
  const std::string manifestPath = MakeManifestName(stem);
  uint64_t size = 0;
  if (!FindFileExact(manifestPath, &size)) {
    *stop = StopReason{StopKind::kManifestMissing, manifestPath};
    return JobEnd::kStopped;
  }
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
