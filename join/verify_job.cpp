#include "verify_job.h"

#include <memory>
#include <new>
#include <vector>

#include "naming.h"
#include "set_change.h"
#include "set_manifest.h"
#include "sha256.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

// Bytes read and hashed at a time by one check.
constexpr size_t kCheckBlock = size_t{1} << 20;

// One file's check: what it needs is made before its thread starts, where
// running short of memory stops the job; the thread only reads and hashes.
struct FileCheck {
  FileCheck() : buffer(kCheckBlock) {}
  ~FileCheck() { WaitBeside(&task); }
  FileCheck(const FileCheck&) = delete;
  FileCheck& operator=(const FileCheck&) = delete;

  std::string path;
  Sha256Digest expected{};
  Verdict verdict = Verdict::kUnreadable;
  Sha256 hash;
  std::vector<unsigned char> buffer;
  BesideTask task;
};

// The file's bytes into the hash, as many as it counts and then its end;
// false when it cannot be opened or read, or reads other than it counts.
bool HashFile(FileCheck& check, FileHandle file) {
  FileStamp stamp;
  if (GetFileStamp(file, &stamp) != kNoError) return false;
  for (uint64_t rest = stamp.size + 1;;) {
    if (StopRequested()) return false;
    size_t got = 0;
    // One byte more than the rest: a file that reads on past it shows.
    const size_t ask = rest < check.buffer.size() ? static_cast<size_t>(rest) : check.buffer.size();
    if (ReadSome(file, check.buffer.data(), ask, &got) != kNoError) return false;
    if (got == 0) return rest == 1;
    if (got >= rest) return false;
    check.hash.Update(check.buffer.data(), got);
    rest -= got;
  }
}

void CheckFile(void* context) {
  FileCheck& check = *static_cast<FileCheck*>(context);
  FileSlot file;
  bool notRegular = false;
  const bool read = OpenRegularFile(check.path, file.Receive(), &notRegular) == kNoError && HashFile(check, file.Get());
  file.Release();
  Sha256Digest digest;
  // Ends the hash either way, so that the next file starts afresh.
  const bool hashed = check.hash.Final(&digest) && read;
  check.verdict = !hashed ? Verdict::kUnreadable : digest == check.expected ? Verdict::kMatches : Verdict::kDiffers;
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
  const uint64_t listed = manifest.pieces.size();
  std::vector<std::unique_ptr<FileCheck>> checks;
  for (size_t k = ChecksAtOnce(set.pieceDir); k > 0 && checks.size() < listed; --k) checks.emplace_back(new FileCheck);
  // Piece n's check runs in slot n % slots; it is reported, in order, before
  // the slot takes piece n + slots.
  const uint64_t slots = checks.size();
  for (uint64_t number = 1; number <= listed + slots; ++number) {
    FileCheck& check = *checks[number % slots];
    if (number > slots) {
      WaitBeside(&check.task);
      report.Checked(check.path, check.verdict);
      if (StopRequested()) {
        *stop = StopReason{StopKind::kInterrupted, check.path};
        return JobEnd::kStopped;
      }
    }
    if (number <= listed) {
      StartCheck(check, MakePieceName(stem, DecimalText(number)), manifest.pieces[number - 1]);
    }
  }
  const std::string next = MakePieceName(stem, DecimalText(listed + 1));
  if (FindFileExact(next, &size)) report.Checked(next, Verdict::kUnlisted);
  const std::string restored = set.pieceDir + restoredName;
  if (FindFileExact(restored, &size)) {
    FileCheck check;
    check.path = restored;
    check.expected = manifest.whole;
    CheckFile(&check);
    report.Checked(restored, check.verdict);
  }
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
