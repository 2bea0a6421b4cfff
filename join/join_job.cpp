#include "join_job.h"

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "free_space.h"
#include "naming.h"
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
  uint64_t pieceCount = 0;
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
    run.totalSize += size;
  }
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

bool CopyPieceThroughBuffer(JoinRun& run, const std::string& piece, StopReason* stop) {
  if (run.copyBuffer.empty()) run.copyBuffer.resize(kJoinBufferSize);
  for (;;) {
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.outputPath);
    size_t got = 0;
    SystemError error = ReadSome(run.pieceFile.Get(), run.copyBuffer.data(), run.copyBuffer.size(), &got);
    if (error != kNoError) return Stop(stop, StopKind::kPieceRead, piece, error);
    if (got == 0) return true;
    error = WriteAll(run.outputFile.Get(), run.copyBuffer.data(), got);
    if (error != kNoError) return Stop(stop, StopKind::kOutputWrite, run.outputPath, error);
    run.bytesCopied += got;
  }
}

// Appends one piece: in the kernel where it can, by blocks so that a
// request to stop is seen, then through the buffer.
bool CopyPiece(JoinRun& run, uint64_t number, StopReason* stop) {
  const std::string piece = PiecePath(run, number);
  bool notRegular = false;
  SystemError error = OpenRegularFile(piece, run.pieceFile.Receive(), &notRegular);
  if (error != kNoError || notRegular) return Stop(stop, StopKind::kPieceOpen, piece, error);
  constexpr uint64_t kBlock = uint64_t{8} << 20;
  while (run.kernelCopy) {
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.outputPath);
    uint64_t copied = 0;
    bool unsupported = false;
    error = CopyInKernel(run.pieceFile.Get(), run.outputFile.Get(), kBlock, &copied, &unsupported);
    run.bytesCopied += copied;
    if (error != kNoError) return Stop(stop, StopKind::kOutputWrite, run.outputPath, error);
    if (unsupported) run.kernelCopy = false;
    if (!unsupported && copied == 0) break;  // the piece's end
  }
  if (!run.kernelCopy && !CopyPieceThroughBuffer(run, piece, stop)) return false;
  run.pieceFile.Release();
  return true;
}

JobEnd RunJoin(JoinRun& run, JobSummary* summary, StopReason* stop) {
  JobReport& report = run.report;
  if (!IsFirstPiecePath(run.request.firstPiecePath)) {
    Stop(stop, StopKind::kNotFirstPiece, run.request.firstPiecePath);
    return JobEnd::kStopped;
  }
  run.set = SplitFirstPiecePath(run.request.firstPiecePath);
  DiscoverPieces(run);
  // Without a first piece there is nothing to join; going on would empty
  // an existing file and call that a success.
  if (run.pieceCount == 0) {
    Stop(stop, StopKind::kFirstPieceMissing, PiecePath(run, 1));
    return JobEnd::kStopped;
  }
  run.restoredName = RestoreFileName(run.set.stemName);
  run.outputPath = JoinPath(run.request.targetDir, run.restoredName);
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
