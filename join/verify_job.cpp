#include "verify_job.h"

#include <memory>
#include <new>
#include <vector>

#include "copy_range.h"
#include "hash_beside.h"
#include "naming.h"
#include "set_change.h"
#include "set_manifest.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

// One file's check, on a thread of its own where there is one: its own
// copy, which hashes what it reads. What it needs is made before its thread
// starts, where running short of memory stops the job.
struct FileCheck {
  FileCheck() { copy.HashInto(&hashes); }
  ~FileCheck() { WaitBeside(&task); }
  FileCheck(const FileCheck&) = delete;
  FileCheck& operator=(const FileCheck&) = delete;

  std::string path;
  Sha256Digest expected{};
  Verdict verdict = Verdict::kUnreadable;
  bool notRegular = false;
  HashBeside hashes{1};
  CopyRange copy;  // after the hashes, so that it ends first
  BesideTask task;
};

// The file's bytes into the hash, as many as it counts and then its end;
// false when it cannot be opened or read, or reads other than it counts.
void CheckFile(void* context) {
  FileCheck& check = *static_cast<FileCheck*>(context);
  FileSlot file;
  FileStamp stamp;
  const bool read = OpenRegularFile(check.path, file.Receive(), &check.notRegular) == kNoError &&
                    GetFileStamp(file.Get(), &stamp) == kNoError &&
                    check.copy.Copy(file.Get(), FileHandle(), stamp.size).end == CopyEnd::kDone &&
                    check.copy.CheckEnd(file.Get()).end == CopyEnd::kDone;
  file.Release();
  Sha256Digest digest;
  // Ends the hash either way, so that the next file starts afresh.
  const bool hashed = check.hashes.Final(0, &digest) && read;
  check.verdict = check.notRegular ? Verdict::kNotRegular
                  : !hashed        ? Verdict::kUnreadable
                  : digest == check.expected ? Verdict::kMatches
                                             : Verdict::kDiffers;
}

// Starts the check of the file, on a thread where there is one.
void StartCheck(FileCheck& check, const std::string& path, const Sha256Digest& expected) {
  check.path = path;
  check.expected = expected;
  if (!StartBeside(CheckFile, &check, &check.task)) CheckFile(&check);
}

// Files checked at once: the pieces are independent, so one a processor,
// but one at a time where reading several would make a disk seek.
size_t ChecksAtOnce(const std::string& folder) {
  return ReadsOneAtATime(folder.empty() ? "." : folder) ? 1 : CountProcessors();
}

// The pieces present from 1 on; one that cannot be looked up is told as
// what it is before the manifest is read.
bool CountPieces(const std::string& stem, uint64_t* present, StopReason* stop) {
  for (;;) {
    const std::string piece = MakePieceName(stem, DecimalText(*present + 1));
    uint64_t size = 0;
    bool found = false;
    const SystemError error = LookUpFile(piece, &size, &found);
    if (error != kNoError) {
      *stop = Failure(Role::kPiece, Operation::kLookUp, piece, error);
      return false;
    }
    if (!found) return true;
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
  const std::string firstPiece = MakePieceName(stem, "1");
  const std::string manifestPath = MakeManifestName(stem);
  if (!NameIsTaken(manifestPath)) {
    *stop = present == 0 ? StopReason{StopKind::kFirstPieceMissing, firstPiece}
                         : StopReason{StopKind::kManifestMissing, manifestPath};
    return JobEnd::kStopped;
  }
  // Room for as many pieces again as were found, which may be missing.
  SetManifest manifest;
  const bool read = ReadSetManifest(manifestPath, set.stemName, ManifestByteLimit(2 * present + 1), &manifest, stop);
  // Without its first piece only a set with recovery pieces is checked:
  // they may rebuild it.
  if (present == 0 && (!read ? stop->kind == StopKind::kManifestInvalid : manifest.recovery.empty())) {
    *stop = StopReason{StopKind::kFirstPieceMissing, firstPiece};
    return JobEnd::kStopped;
  }
  if (!read) return JobEnd::kStopped;
  // The pieces, then the recovery pieces, as the manifest lists them.
  std::vector<std::pair<std::string, Sha256Digest>> files;
  for (uint64_t number = 1; number <= manifest.pieces.size(); ++number) {
    files.emplace_back(MakePieceName(stem, DecimalText(number)), manifest.pieces[number - 1]);
  }
  for (uint64_t number = 1; number <= manifest.recovery.size(); ++number) {
    files.emplace_back(MakeRecoveryName(stem, number), manifest.recovery[number - 1]);
  }
  const uint64_t listed = files.size();
  std::vector<std::unique_ptr<FileCheck>> checks;
  for (size_t k = ChecksAtOnce(set.pieceDir); k > 0 && checks.size() < listed; --k) checks.emplace_back(new FileCheck);
  // File n's check runs in slot n % slots; it is reported, in order, before
  // the slot takes file n + slots.
  const uint64_t slots = checks.size();
  uint64_t lost = 0;
  for (uint64_t number = 1; number <= listed + slots; ++number) {
    FileCheck& check = *checks[number % slots];
    if (number > slots) {
      WaitBeside(&check.task);
      report.Checked(check.path, check.verdict);
      lost += check.verdict == Verdict::kMatches ? 0 : 1;
      if (StopRequested()) {
        *stop = StopReason{StopKind::kInterrupted, check.path};
        return JobEnd::kStopped;
      }
    }
    if (number <= listed) StartCheck(check, files[number - 1].first, files[number - 1].second);
  }
  uint64_t size = 0;
  const std::string next = MakePieceName(stem, DecimalText(manifest.pieces.size() + 1));
  if (FindFileExact(next, &size)) report.Checked(next, Verdict::kUnlisted);
  const std::string restored = set.pieceDir + manifest.wholeName;
  if (FindFileExact(restored, &size)) {
    FileCheck check;
    check.path = restored;
    check.expected = manifest.whole;
    CheckFile(&check);
    report.Checked(restored, check.verdict);
  }
  // Any K of the pieces and recovery pieces may be lost.
  const uint64_t coded = manifest.recovery.size();
  if (coded > 0 && lost > 0) report.Repairable(lost, coded);
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
