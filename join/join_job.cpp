#include "join_job.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "free_space.h"
#include "hash_beside.h"
#include "naming.h"
#include "set_change.h"
#include "set_manifest.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"
#include "texts.h"

namespace {

// Each piece the kernel cannot copy goes through one buffer of this size.
constexpr size_t kJoinBufferSize = 204800;

struct JoinRun {
  JoinRun(const JoinRequest& request, JobReport& report) : request(request), report(report) {}
  const JoinRequest& request;
  JobReport& report;
  PieceSetName set;
  std::string restoredName;
  std::string outputPath;
  std::string outputTemporary;  // where the output is written until it is whole
  std::vector<unsigned char> copyBuffer;
  bool kernelCopy = true;  // until the system says it cannot
  // With a manifest beside the pieces: its lines, and the hash of the piece
  // being copied (declared after the buffer, so that it ends first).
  std::string manifestPath;
  SetManifest manifest;
  std::unique_ptr<HashBeside> hashes;
  uint64_t pieceCount = 0;
  std::vector<uint64_t> pieceSizes;  // as counted: the join copies exactly these
  uint64_t totalSize = 0;
  uint64_t bytesCopied = 0;
  FileSlot pieceFile;
  FileSlot outputFile;
  bool outputIncomplete = false;  // the temporary file exists and is not yet whole
};

bool Stop(StopReason* stop, StopKind kind, const std::string& path, SystemError code = kNoError) {
  *stop = StopReason{kind, path, code};
  return false;
}

std::string PiecePath(const JoinRun& run, uint64_t number) {
  return MakePieceName(run.set.pieceDir + run.set.stemName, DecimalText(number));
}

// Counts the consecutive pieces from 1 and adds up their sizes, from
// directory look-ups alone.
void DiscoverPieces(JoinRun& run) {
  uint64_t size = 0;
  while (FindFileExact(PiecePath(run, run.pieceCount + 1), &size)) {
    ++run.pieceCount;
    run.pieceSizes.push_back(size);
    run.totalSize += size;
  }
}

// The pieces of the set named in a folder beyond those counted.
struct LaterPieces {
  std::string stemName;
  uint64_t counted = 0;
  bool nextListed = false;  // the first number not counted has an entry all the same
  uint64_t nearest = 0;     // the lowest number above that one, 0 for none
};

void NoteLaterPiece(const std::string& name, void* context) {
  LaterPieces& later = *static_cast<LaterPieces*>(context);
  const uint64_t number = PieceNumberOf(name, later.stemName);
  if (number == 0) return;
  if (number == later.counted + 1) later.nextListed = true;
  if (number > later.counted + 1 && (later.nearest == 0 || number < later.nearest)) later.nearest = number;
}

// A set that visibly goes on past the first number not found is not whole:
// joining what was counted would report success over a part of the file.
bool CheckSetIsWhole(JoinRun& run, StopReason* stop) {
  LaterPieces later;
  later.stemName = run.set.stemName;
  later.counted = run.pieceCount;
  SystemError error = ListFolder(run.set.pieceDir, NoteLaterPiece, &later);
  if (error != kNoError) return Stop(stop, StopKind::kPieceOpen, run.set.pieceDir, error);
  if (!later.nextListed && later.nearest == 0) return true;
  *stop = StopReason{later.nextListed ? StopKind::kPieceUnreadable : StopKind::kPieceMissing,
                     PiecePath(run, run.pieceCount + 1), kNoError,
                     later.nearest != 0 ? PiecePath(run, later.nearest) : std::string()};
  return false;
}

// True when the output path reaches one of the pieces (through a link, or
// a name the system treats as the same): replacing it would destroy a piece.
bool OutputIsAPiece(const JoinRun& run) {
  FileSlot existing;
  bool notRegular = false;
  if (OpenRegularFile(run.outputPath, existing.Receive(), &notRegular) != kNoError) return false;
  for (uint64_t k = 1; k <= run.pieceCount; ++k) {
    if (IsSameFile(PiecePath(run, k), existing.Get())) return true;
  }
  return false;
}

// The checksum manifest beside the first piece, when there is one: it must
// list exactly the pieces counted and the restored name. The pieces then go
// through the buffer, where they are hashed.
bool ReadManifest(JoinRun& run, StopReason* stop) {
  run.manifestPath = MakeManifestName(run.set.pieceDir + run.set.stemName);
  uint64_t size = 0;
  if (!FindFileExact(run.manifestPath, &size)) {
    run.manifestPath.clear();
    return true;
  }
  if (!ReadSetManifest(run.manifestPath, run.set.stemName, run.restoredName, (run.pieceCount + 1) * kManifestLineBytes,
                       &run.manifest, stop)) {
    return false;
  }
  if (run.manifest.pieces.size() != run.pieceCount) return Stop(stop, StopKind::kManifestInvalid, run.manifestPath);
  run.hashes.reset(new HashBeside(1));
  run.kernelCopy = false;
  return true;
}

bool CopyThroughBuffer(JoinRun& run, const std::string& piece, uint64_t length, StopReason* stop) {
  const size_t half = run.hashes ? kHashBesideBlock : kJoinBufferSize;
  if (run.copyBuffer.empty()) run.copyBuffer.resize(run.hashes ? 2 * half : half);
  size_t turn = 0;
  for (uint64_t done = 0; done < length; turn ^= 1) {
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.outputPath);
    unsigned char* block = run.copyBuffer.data() + (run.hashes ? turn * half : 0);
    const uint64_t wanted = length - done < half ? length - done : half;
    size_t got = 0;
    SystemError error = ReadBlock(run.pieceFile.Get(), block, static_cast<size_t>(wanted), &got);
    if (error != kNoError) return Stop(stop, StopKind::kPieceRead, piece, error);
    if (got == 0) return Stop(stop, StopKind::kPieceChanged, piece);  // cut short since it was counted
    if (run.hashes) run.hashes->Add(block, got);
    error = WriteAll(run.outputFile.Get(), block, got);
    if (error != kNoError) return Stop(stop, StopKind::kOutputWrite, run.outputPath, error);
    done += got;
    run.bytesCopied += got;
  }
  return true;
}

// Appends one piece, exactly the bytes it held when it was counted: in the
// kernel where it can, by blocks so that a request to stop is seen, then
// through the buffer.
bool CopyPiece(JoinRun& run, uint64_t number, StopReason* stop) {
  const std::string piece = PiecePath(run, number);
  const uint64_t length = run.pieceSizes[number - 1];
  bool notRegular = false;
  SystemError error = OpenRegularFile(piece, run.pieceFile.Receive(), &notRegular);
  if (error != kNoError || notRegular) return Stop(stop, StopKind::kPieceOpen, piece, error);
  FileStamp before;
  error = GetFileStamp(run.pieceFile.Get(), &before);
  if (error != kNoError) return Stop(stop, StopKind::kPieceRead, piece, error);
  if (before.size != length) return Stop(stop, StopKind::kPieceChanged, piece);
  constexpr uint64_t kBlock = uint64_t{8} << 20;
  uint64_t done = 0;
  while (run.kernelCopy && done < length) {
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.outputPath);
    const uint64_t block = length - done < kBlock ? length - done : kBlock;
    uint64_t copied = 0;
    bool unsupported = false;
    error = CopyInKernel(run.pieceFile.Get(), run.outputFile.Get(), block, &copied, &unsupported);
    done += copied;
    run.bytesCopied += copied;
    if (error != kNoError) return Stop(stop, StopKind::kOutputWrite, run.outputPath, error);
    if (unsupported) run.kernelCopy = false;
    if (!unsupported && copied == 0) return Stop(stop, StopKind::kPieceChanged, piece);
  }
  if (!CopyThroughBuffer(run, piece, length - done, stop)) return false;
  // A piece written to while it was copied is not the piece that was counted.
  FileStamp after;
  if (GetFileStamp(run.pieceFile.Get(), &after) != kNoError || after != before) {
    return Stop(stop, StopKind::kPieceChanged, piece);
  }
  run.pieceFile.Release();
  Sha256Digest digest;
  if (run.hashes && !run.hashes->Final(0, &digest)) return Stop(stop, StopKind::kPieceRead, piece);
  if (run.hashes && digest != run.manifest.pieces[number - 1]) {
    *stop = StopReason{StopKind::kPieceChecksum, piece, kNoError, run.manifestPath};
    return false;
  }
  return true;
}

JobEnd RunJoin(JoinRun& run, JobSummary* summary, StopReason* stop) {
  JobReport& report = run.report;
  if (!IsFirstPiecePath(run.request.firstPiecePath)) {
    Stop(stop, StopKind::kNotFirstPiece, run.request.firstPiecePath);
    return JobEnd::kStopped;
  }
  run.set = SplitFirstPiecePath(run.request.firstPiecePath);
  if (!SettleUnfinishedChange(run.set.pieceDir + run.set.stemName, run.request.dryRun, report, stop)) {
    return JobEnd::kStopped;
  }
  DiscoverPieces(run);
  // Without a first piece there is nothing to join; going on would empty
  // an existing file and call that a success.
  if (run.pieceCount == 0) {
    Stop(stop, StopKind::kFirstPieceMissing, PiecePath(run, 1));
    return JobEnd::kStopped;
  }
  if (!CheckSetIsWhole(run, stop)) return JobEnd::kStopped;
  run.restoredName = RestoreFileName(run.set.stemName);
  run.outputPath = JoinPath(run.request.targetDir, run.restoredName);
  if (!ReadManifest(run, stop)) return JobEnd::kStopped;
  SystemError query = kNoError;
  if (CheckFreeSpace(run.request.targetDir, run.totalSize, &query) == 0) {
    Stop(stop, StopKind::kNoFreeSpace, run.request.targetDir, query);
    return JobEnd::kStopped;
  }
  summary->dryRun = run.request.dryRun;
  summary->sourceName = run.restoredName;
  summary->pieces = run.pieceCount;
  summary->totalBytes = run.totalSize;
  summary->firstPiece = PiecePath(run, 1);
  summary->lastPiece = PiecePath(run, run.pieceCount);
  summary->output = run.outputPath;
  if (run.request.dryRun) return JobEnd::kFinished;
  const std::string question = FillTemplate(kConfirmJoin, {DecimalText(run.pieceCount), run.restoredName,
                                                           run.restoredName, DecimalText(run.totalSize),
                                                           run.restoredName});
  if (report.Ask(question) == Answer::kNo) return JobEnd::kDeclined;

  if (OutputIsAPiece(run)) {
    Stop(stop, StopKind::kOutputIsPiece, run.outputPath);
    return JobEnd::kStopped;
  }
  // Written under a temporary name of this run's own, so that a failure
  // leaves an existing file of the restored name as it was.
  run.outputTemporary = MakeTemporaryPath(run.request.targetDir, MakeRunTag(), "out");
  SystemError error = CreateNewFile(run.outputTemporary, run.outputFile.Receive());
  if (error != kNoError) {
    Stop(stop, StopKind::kOutputCreate, run.outputPath, error);
    return JobEnd::kStopped;
  }
  run.outputIncomplete = true;
  report.StartProgress(run.pieceCount, run.totalSize);
  for (uint64_t k = 1; k <= run.pieceCount; ++k) {
    // The bar shows k while piece k is copied.
    report.Progress(k, run.bytesCopied);
    if (!CopyPiece(run, k, stop)) return JobEnd::kStopped;
  }
  if (StopRequested()) {
    Stop(stop, StopKind::kInterrupted, run.outputPath);
    return JobEnd::kStopped;
  }
  error = run.outputFile.Release();
  if (error != kNoError) {
    Stop(stop, StopKind::kOutputWrite, run.outputPath, error);
    return JobEnd::kStopped;
  }
  error = RenameReplacing(run.outputTemporary, run.outputPath);
  if (error != kNoError) {
    Stop(stop, StopKind::kOutputRename, run.outputPath, error);
    return JobEnd::kStopped;
  }
  run.outputIncomplete = false;
  return JobEnd::kFinished;
}

}  // namespace

JobResult PerformJoinJob(const JoinRequest& request, JobReport& report) {
  JoinRun run(request, report);
  JobSummary summary;
  JobResult result;
  try {
    result.end = RunJoin(run, &summary, &result.reason);
  } catch (const std::bad_alloc&) {
    result = JobResult{JobEnd::kStopped, StopReason{StopKind::kLowMemory, run.outputPath, kNoError}};
  }
  // An output not yet given its name is incomplete and is removed, so that
  // no partial file passes for the joined one.
  run.pieceFile.Release();
  run.outputFile.Release();
  if (run.outputIncomplete) RemoveFile(run.outputTemporary);
  if (result.end == JobEnd::kFinished) report.Finished(summary);
  if (result.end == JobEnd::kStopped) report.Stopped(result.reason);
  return result;
}
