#include "split_job.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "cutters.h"
#include "folder_lock.h"
#include "free_space.h"
#include "batch_file.h"
#include "script_file.h"
#include "naming.h"
#include "piece_plan.h"
#include "piece_set.h"
#include "recovery_code.h"
#include "recovery_pieces.h"
#include "set_change.h"
#include "slots.h"
#include "stop_request.h"

namespace {

// Bytes read at a time when the pieces are found in the data.
constexpr size_t kReadBlock = size_t{256} << 10;
// Pieces shorter than this are written from a block read of the source.
constexpr uint64_t kSmallPiece = uint64_t{64} << 10;

// One run's working state.
struct SplitRun {
  SplitRun(const SplitRequest& request, JobReport& report) : request(request), report(report) {}
  const SplitRequest& request;
  JobReport& report;
  std::string sourcePath;  // as messages name it
  FileSlot sourceFile;     // a file source, held
  FileHandle source;       // what is read: that file, or standard input
  FileStamp stamp;         // the file as the job found it
  std::optional<PieceSet> pieces;
  FolderLock lock{report};  // the folder's, held while the set gets its names
  uint64_t bytesDone = 0;
  uint64_t unstamped = 0;  // bytes of pieces ended since the source's stamp was compared
  bool declined = false;
  JobSummary summary;
};

bool Stop(StopReason* stop, StopKind kind, const std::string& path) {
  *stop = StopReason{kind, path};
  return false;
}

bool Fail(StopReason* stop, Role role, Operation operation, const std::string& path, SystemError code) {
  *stop = Failure(role, operation, path, code);
  return false;
}

// Too little room, or a folder whose free space cannot be told.
bool NoRoom(StopReason* stop, const std::string& folder, SystemError query) {
  if (query != kNoError) return Fail(stop, Role::kFolder, Operation::kStat, folder, query);
  return Stop(stop, StopKind::kNoFreeSpace, folder);
}

bool IsStream(const SplitRun& run) { return run.request.fromStandardInput; }

// Recovery pieces come with the manifest, which lists them.
bool WantsManifest(const SplitRequest& request) { return request.writeChecksums || request.recoveryCount > 0; }

// Refused before a byte is written where the count is known, at the end otherwise.
bool RecoveryFits(const SplitRun& run, uint64_t pieces, StopReason* stop) {
  const uint32_t recovery = run.request.recoveryCount;
  if (recovery == 0 || RecoveryCode::Fits(pieces, recovery)) return true;
  *stop = StopReason{StopKind::kRecoveryTooMany, run.sourcePath,
                     static_cast<SystemError>(std::min<uint64_t>(pieces + recovery, kMaxPieceNumber))};
  return false;
}

// Opens the source and checks that the target can take it; a stream has
// no size to check.
bool OpenSource(SplitRun& run, StopReason* stop) {
  if (IsStream(run)) {
    run.source = StandardInput();
    return true;
  }
  bool notRegular = false;
  SystemError error = OpenRegularFile(run.sourcePath, run.sourceFile.Receive(), &notRegular);
  if (notRegular) return Stop(stop, StopKind::kSourceNotRegular, run.sourcePath);
  if (error != kNoError) return Fail(stop, Role::kSource, Operation::kOpen, run.sourcePath, error);
  run.source = run.sourceFile.Get();
  error = GetFileStamp(run.source, &run.stamp);
  if (error != kNoError) return Fail(stop, Role::kSource, Operation::kStat, run.sourcePath, error);
  if (run.stamp.size == 0) return Stop(stop, StopKind::kSourceEmpty, run.sourcePath);
  SystemError query = kNoError;
  if (CheckFreeSpace(run.request.targetDir, run.stamp.size, &query) == 0) {
    return NoRoom(stop, run.request.targetDir, query);
  }
  return true;
}

// Nobody wrote, cut or extended the source since the job took its stamp.
bool SourceUnchanged(const SplitRun& run) {
  if (IsStream(run)) return true;
  FileStamp now;
  return GetFileStamp(run.source, &now) == kNoError && now == run.stamp;
}

// Closes the piece just written; a piece read while the source changed
// may hold bytes that are not the source's. Small pieces compare the stamp
// once a block, not each: the split compares it again after the last
// piece, before any gets its name.
bool EndPiece(SplitRun& run, StopReason* stop) {
  if (!run.pieces->End(stop)) return false;
  run.unstamped += run.pieces->lastBytes();
  if (run.unstamped < kReadBlock) return true;
  run.unstamped = 0;
  if (!SourceUnchanged(run)) return Stop(stop, StopKind::kSourceChanged, run.sourcePath);
  return true;
}

void Summarize(SplitRun& run, uint64_t pieces, uint64_t firstBytes, uint64_t lastBytes) {
  run.summary.pieces = pieces;
  run.summary.firstPiece = run.pieces->Name(1);
  run.summary.firstPieceBytes = firstBytes;
  run.summary.lastPiece = run.pieces->Name(pieces);
  run.summary.lastPieceBytes = lastBytes;
}

// Where a long piece's copy stands: the pieces before it are written.
void TellCopied(uint64_t bytes, void* context) {
  SplitRun& run = *static_cast<SplitRun*>(context);
  run.report.Progress(run.pieces->count() - 1, bytes);
}

// Pieces much smaller than a read are written from the source read a block
// at a time: one kernel copy a piece (or a read and a write, where there is
// none) costs more than one write a piece and a read a block.
bool WriteSmallPieces(SplitRun& run, const SplitPlan& plan, uint64_t last, StopReason* stop) {
  PieceSet& pieces = *run.pieces;
  std::vector<unsigned char> block(kReadBlock);
  size_t have = 0;
  size_t used = 0;
  // The next bytes of the source into the block; false with the reason
  // where it cannot be read, or ends before (or reads on past) its count.
  auto refill = [&](bool atEnd) {
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.sourcePath);
    used = 0;
    SystemError error = ReadSome(run.source, block.data(), block.size(), &have);
    if (error != kNoError) return Fail(stop, Role::kSource, Operation::kRead, run.sourcePath, error);
    if ((have == 0) != atEnd) return Stop(stop, StopKind::kSourceChanged, run.sourcePath);
    return true;
  };
  for (uint64_t number = 1; number <= last; ++number) {
    const uint64_t length = PlannedPieceLength(plan, number);
    if (!pieces.Begin(stop)) return false;
    for (uint64_t rest = length; rest > 0;) {
      if (used == have && !refill(false)) return false;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(rest, have - used));
      if (!pieces.Write(block.data() + used, take, stop)) return false;
      used += take;
      rest -= take;
    }
    if (!EndPiece(run, stop)) return false;
    run.bytesDone += length;
    run.report.Progress(number, run.bytesDone);
  }
  // The source ends where it was counted.
  if (used != have) return Stop(stop, StopKind::kSourceChanged, run.sourcePath);
  return refill(true);
}

// Size and count: the lengths are known before a byte is read.
bool WritePlannedPieces(SplitRun& run, const SplitPlan& plan, StopReason* stop) {
  PieceSet& pieces = *run.pieces;
  const uint64_t last = LastPlannedPiece(plan);
  // The last name is the longest: checked before anything is written.
  if (!pieces.NamesFit(last, stop) || !RecoveryFits(run, last, stop)) return false;
  const uint64_t longest = std::max(PlannedPieceLength(plan, 1), PlannedPieceLength(plan, last));
  const uint64_t recoveryBytes = run.request.recoveryCount * (longest + RecoveryHeaderBytes(last));
  SystemError query = kNoError;
  if (recoveryBytes > 0 && CheckFreeSpace(run.request.targetDir, run.stamp.size + recoveryBytes, &query) == 0) {
    return NoRoom(stop, run.request.targetDir, query);
  }
  Summarize(run, last, PlannedPieceLength(plan, 1), PlannedPieceLength(plan, last));
  if (run.request.dryRun) {
    run.bytesDone = run.stamp.size;
    return true;
  }
  if (run.report.Ask(SplitPlanQuestion(plan, run.stamp.size, run.summary.sourceName)) == Answer::kNo) {
    run.declined = true;
    return false;
  }
  run.report.StartProgress(last, run.stamp.size);
  pieces.Reserve(last);
  // Hashed pieces keep the copy, whose hashes work beside it.
  if (PlannedPieceLength(plan, 1) < kSmallPiece && !WantsManifest(run.request)) {
    return WriteSmallPieces(run, plan, last, stop);
  }
  pieces.TellBlocks(TellCopied, &run);
  for (uint64_t number = 1; number <= last; ++number) {
    const uint64_t length = PlannedPieceLength(plan, number);
    if (!pieces.Begin(stop) || !pieces.Copy(run.source, run.sourcePath, length, stop) || !EndPiece(run, stop)) return false;
    run.bytesDone += length;
    run.report.Progress(number, run.bytesDone);
  }
  return true;
}

// Keyword, and size on a stream: the cuts are found as the data streams
// past. A piece is begun with its first byte, except the keyword's last,
// which is written even when empty.
bool WriteFoundPieces(SplitRun& run, Cutter& cutter, StopReason* stop) {
  PieceSet& pieces = *run.pieces;
  std::vector<unsigned char> window(kReadBlock + kMaxKeywordBytes);
  size_t carry = 0;  // bytes at the window's start that the current piece holds already
  bool open = false;
  uint64_t cuts = 0;
  // No count of pieces before the end: the bytes alone, of a file's size or of a stream's unknown one.
  run.report.StartProgress(0, IsStream(run) ? 0 : run.stamp.size);
  auto write = [&](size_t from, size_t to) {
    if (from == to) return true;
    if (!open && !pieces.Begin(stop)) return false;
    open = true;
    return pieces.Write(window.data() + from, to - from, stop);
  };
  for (;;) {
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.sourcePath);
    size_t got = 0;
    SystemError error = ReadSome(run.source, window.data() + carry, kReadBlock, &got);
    if (StopRequested()) return Stop(stop, StopKind::kInterrupted, run.sourcePath);
    if (error != kNoError) return Fail(stop, Role::kSource, Operation::kRead, run.sourcePath, error);
    if (got == 0) break;
    run.bytesDone += got;
    const size_t size = carry + got;
    size_t from = 0;
    size_t written = carry;
    size_t cutEnd = 0;
    while (cutter.FindCut(window.data(), from, size, &cutEnd)) {
      if (!write(written, cutEnd) || !EndPiece(run, stop)) return false;
      open = false;
      ++cuts;
      written = from = cutEnd;
    }
    if (!write(written, size)) return false;
    run.report.Progress(pieces.count(), run.bytesDone);
    carry = cutter.CarryAfter(from, size);
    std::memmove(window.data(), window.data() + size - carry, carry);
  }
  if (run.bytesDone == 0) return Stop(stop, StopKind::kSourceEmpty, run.sourcePath);
  if (cutter.KeepsEmptyTail()) {
    if (cuts == 0) return Stop(stop, StopKind::kKeywordNotFound, run.sourcePath);
    if (!open && !pieces.Begin(stop)) return false;
    open = true;
  }
  return !open || EndPiece(run, stop);
}

bool WritePieces(SplitRun& run, StopReason* stop) {
  const SplitRequest& request = run.request;
  if (request.method == Keyword) {
    if (request.keyword.empty()) return Stop(stop, StopKind::kKeywordEmpty, run.sourcePath);
    if (request.keyword.size() > kMaxKeywordBytes) return Stop(stop, StopKind::kKeywordTooLong, run.sourcePath);
    KeywordCutter cutter(request.keyword);
    return WriteFoundPieces(run, cutter, stop);
  }
  if (IsStream(run)) {  // a count split of a stream was refused before it began
    if (request.pieceBytes == 0) return Stop(stop, StopKind::kSizeZero, run.sourcePath);
    SizeCutter cutter(request.pieceBytes);
    return WriteFoundPieces(run, cutter, stop);
  }
  SplitPlan plan;
  StopKind refusal = StopKind::kSizeZero;
  bool planned = request.method == Size ? PlanBySize(run.stamp.size, request.pieceBytes, &plan, &refusal)
                                        : PlanByCount(run.stamp.size, request.pieceCount, &plan, &refusal);
  if (!planned) return Stop(stop, refusal, run.sourcePath);
  return WritePlannedPieces(run, plan, stop);
}

// After N pieces: a piece N+1 left by an earlier split would be taken by
// a join as if it belonged to this set.
void WarnOfStalePiece(SplitRun& run) {
  const std::string next = run.pieces->Name(run.summary.pieces + 1);
  uint64_t size = 0;
  if (FindFileExact(next, &size)) run.report.Warn(Warning{WarningKind::kStalePiece, next});
}

// JOIN.BAT and join.sh, when asked for, under temporary names: the commit
// names them with the pieces. One that would replace the source is not
// written, and the stop that says so comes after the commit.
bool WriteBeside(SplitRun& run, const std::string& sourceName, uint32_t batchCodePage,
                 std::optional<StopReason>* isSource, StopReason* stop) {
  const SplitRequest& request = run.request;
  PieceSet& pieces = *run.pieces;
  FileHandle source = IsStream(run) ? FileHandle{} : run.source;
  if (request.writeBatch) {
    if (WriteJoinBatch(sourceName, request.targetDir, pieces.sizes(), batchCodePage, WantsManifest(request), source,
                       pieces.BesideTemporaryPath("bat"), stop)) {
      pieces.AddBeside("bat");
    } else if (stop->kind == StopKind::kBatchIsSource) {
      *isSource = *stop;
    } else {
      return false;
    }
  }
  if (request.writeScript) {
    if (WriteJoinScript(sourceName, request.targetDir, pieces.sizes(), WantsManifest(request), source,
                        pieces.BesideTemporaryPath("sh"), stop)) {
      pieces.AddBeside("sh");
    } else if (stop->kind != StopKind::kScriptIsSource) {
      return false;
    } else if (!*isSource) {
      *isSource = *stop;
    }
  }
  return true;
}

// Everything from the checks of the request to JOIN.BAT and join.sh.
JobEnd RunSplit(SplitRun& run, StopReason* stop) {
  const SplitRequest& request = run.request;
  run.sourcePath = IsStream(run) ? request.streamName : request.sourcePath;
  const std::string sourceName = SourceFileName(run.sourcePath);
  run.summary.sourceName = sourceName;
  run.summary.dryRun = request.dryRun;
  const uint32_t batchCodePage = request.writeBatch ? BatchCodePage(request.batchCodePage) : 0;
  if (request.writeBatch && !CheckBatchName(sourceName, batchCodePage, stop)) return JobEnd::kStopped;
  if (IsStream(run) && request.method == Pieces) {
    Stop(stop, StopKind::kCountOfStream, run.sourcePath);
    return JobEnd::kStopped;
  }
  if (!OpenSource(run, stop)) return JobEnd::kStopped;
  const std::string stem = BuildPieceStem(run.sourcePath, request.targetDir);
  // A change of this set that a run left unfinished is settled first.
  if (!SettleUnfinishedChange(stem, request.dryRun, run.report, stop)) return JobEnd::kStopped;
  run.pieces.emplace(request.targetDir, stem, IsStream(run) ? FileHandle{} : run.source, request.dryRun);
  if (request.writeScript || request.writeBatch || request.recoveryCount > 0) run.pieces->RecordSizes();
  if (WantsManifest(request) && !request.dryRun) run.pieces->HashPieces();
  if (!run.pieces->Survey(stop)) return JobEnd::kStopped;
  // Whether the folder's lock can be taken at all is found out before the
  // first piece is written, not after the last; it is not kept meanwhile.
  if (!request.dryRun && !run.lock.Take(request.targetDir, LockMode::kShared, stop)) return JobEnd::kStopped;
  run.lock.Release();
  if (!WritePieces(run, stop)) return run.declined ? JobEnd::kDeclined : JobEnd::kStopped;
  if (!SourceUnchanged(run)) {
    Stop(stop, StopKind::kSourceChanged, run.sourcePath);
    return JobEnd::kStopped;
  }
  if (!RecoveryFits(run, run.pieces->count(), stop)) return JobEnd::kStopped;
  if (request.recoveryCount > 0 && !request.dryRun &&
      !WriteRecoveryPieces(*run.pieces, request.recoveryCount, request.targetDir, stop)) {
    return JobEnd::kStopped;
  }
  // The manifest's last line names the file a join re-creates: the
  // source's own name, which the stem alone may not give back.
  if (!run.pieces->WriteManifest(sourceName, stop)) return JobEnd::kStopped;
  // The files beside the pieces, then the folder alone, settled, for the commit.
  std::optional<StopReason> besideIsSource;
  if (!request.dryRun && !(WriteBeside(run, sourceName, batchCodePage, &besideIsSource, stop) &&
                           run.lock.Take(request.targetDir, LockMode::kExclusive, stop) &&
                           SettleUnfinishedChangeLocked(stem, run.report, stop))) {
    return JobEnd::kStopped;
  }
  if (!run.pieces->Commit(stop)) return JobEnd::kStopped;
  if (request.method == Keyword || IsStream(run)) {
    Summarize(run, run.pieces->count(), run.pieces->firstBytes(), run.pieces->lastBytes());
  }
  run.summary.totalBytes = run.bytesDone;
  WarnOfStalePiece(run);
  // JOIN.BAT or join.sh that would have replaced the source was not written.
  if (besideIsSource) {
    *stop = *besideIsSource;
    return JobEnd::kStopped;
  }
  return JobEnd::kFinished;
}

}  // namespace

JobResult PerformSplitJob(const SplitRequest& request, JobReport& report) {
  SplitRun run(request, report);
  JobResult result;
  try {
    result.end = RunSplit(run, &result.reason);
  } catch (const std::bad_alloc&) {
    result = JobResult{JobEnd::kStopped, StopReason{StopKind::kLowMemory, std::string()}};
  }
  // In the job's order: the piece being written and every temporary file,
  // the folder's lock, then the source; then the last word.
  run.pieces.reset();
  run.lock.Release();
  run.sourceFile.Release();
  if (result.end == JobEnd::kFinished) report.Finished(run.summary);
  if (result.end == JobEnd::kStopped) report.Stopped(result.reason);
  return result;
}
