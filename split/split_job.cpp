#include "split_job.h"

#include <cstring>
#include <new>

#include "free_space.h"
#include "join_batch.h"
#include "join_script.h"
#include "keyword_split.h"
#include "naming.h"
#include "stop_request.h"
#include "text_format.h"
#include "texts.h"

namespace {

void Fail(SplitJobState& state, const std::string& message) {
  if (!message.empty()) state.report.ShowInfo(message);
  state.outcome = JobOutcome::kFailed;
}

// Said before anything is written.
void Refuse(SplitJobState& state, const std::string& message) {
  state.report.ShowInfo(message);
  state.outcome = JobOutcome::kRefused;
}

// Whether nobody wrote the source since the job took its size.
bool SourceUnchanged(const SplitJobState& state) {
  FileStamp now;
  return GetFileStamp(state.sourceFile.Get(), &now) && now == state.sourceStamp;
}

// Characters that no Windows file name holds; JOIN.BAT could not name them.
bool IsWindowsFileName(const std::string& name) {
  for (unsigned char c : name) {
    if (c < 32 || std::strchr("\"*?<>|:", c) != nullptr) return false;
  }
  return true;
}

// After the last piece N: a piece N+1 left by an earlier split would be
// taken by a join as if it belonged to this set.
void WarnOfStalePiece(SplitJobState& state) {
  const std::string next = MakePieceName(state.stem, DecimalText(state.lastPieceNumber + 1));
  uint64_t size = 0;
  if (FindFileExact(next, &size)) state.report.ShowInfo(FillTemplate(kMsgStalePiece, {next}));
}

// Checks the plan that a planner accepted, asks the user, and sets up the
// progress bar. False when the split must not go on.
bool ConfirmAndPrepare(SplitJobState& state, SplitMethod method, const SplitPlan& plan) {
  uint64_t lastPiece = LastPlannedPiece(method, plan);
  if (lastPiece > kMaxPieceNumber) {
    Refuse(state, kMsgTooManyPieces);
    return false;
  }
  if (!CheckPieceNamesFit(state, lastPiece)) return false;
  state.cursor = 0;
  if (state.request.dryRun) return true;
  if (ConfirmSplitPlan(state.report, method, plan) == kAnswerNo) {
    state.outcome = JobOutcome::kDeclined;
    return false;
  }
  state.report.SetProgressRange(1, static_cast<uint32_t>(lastPiece));
  state.report.SetProgressStep(1);
  return true;
}

// Writes the planned pieces one after another, the progress bar following.
bool WritePlannedPieces(SplitJobState& state, SplitMethod method, const SplitPlan& plan) {
  if (!ConfirmAndPrepare(state, method, plan)) return false;
  const uint64_t lastPiece = LastPlannedPiece(method, plan);
  for (state.pieceNumber = 1; state.pieceNumber <= lastPiece; ++state.pieceNumber) {
    uint64_t length = plan.pieceSize;
    if (state.pieceNumber > plan.pieceCount) length = plan.remainder;  // Size: the piece of its own
    if (method == Pieces && state.pieceNumber == plan.pieceCount) length += plan.remainder;
    if (!WritePiece(state, length)) return false;
    state.cursor += length;
    state.report.SetProgressPos(static_cast<uint32_t>(state.pieceNumber));
  }
  state.lastPieceNumber = lastPiece;
  state.splitFinished = true;
  return true;
}

bool SplitBySize(SplitJobState& state) {
  // Scaled in 64 bits: a large KB entry must not wrap into a small size.
  int64_t pieceBytes = ParseDialogNumber(state.request.value);
  if (state.request.unit == SizeUnit::kKilobytes) pieceBytes *= 1024;
  std::optional<SplitPlan> plan = PlanBySize(state.fileSize, pieceBytes);
  return plan && WritePlannedPieces(state, Size, *plan);
}

bool SplitByCount(SplitJobState& state) {
  std::optional<SplitPlan> plan = PlanByCount(state.fileSize, ParseDialogNumber(state.request.value));
  return plan && WritePlannedPieces(state, Pieces, *plan);
}

// Everything from opening the source to the batch step; every way out
// leads to FinishSplit.
void RunSplitSteps(SplitJobState& state) {
  const SplitRequest& request = state.request;
  state.stem = BuildPieceStem(request.sourcePath, request.targetDir);
  const std::string sourceName = SourceFileName(request.sourcePath);
  if (request.writeBatch && !IsWindowsFileName(sourceName)) {
    return Refuse(state, FillTemplate(kMsgBatchNameInvalid, {sourceName}));
  }

  state.outcome = JobOutcome::kFailed;
  if (!state.sourceFile.Hold(OpenSourceFile(request.sourcePath))) return;
  if (!GetFileStamp(state.sourceFile.Get(), &state.sourceStamp)) return;
  state.fileSize = state.sourceStamp.size;
  if (state.fileSize == 0) return Refuse(state, kMsgEmptySource);
  if (CheckFreeSpace(request.targetDir, state.fileSize) == 0) return Refuse(state, kMsgNoSpaceSplit);
  if (!state.mapping.Hold(CreateReadOnlyMapping(state.sourceFile.Get()))) return Fail(state, kMsgMappingFailed);
  state.view.Attach(state.mapping.Get(), state.fileSize, ViewSizeForSplit());
  uint64_t available = 0;
  // A source cut short since its size was taken cannot be mapped that far.
  if (state.view.Bytes(0, 1, &available) == nullptr) {
    return Fail(state, SourceUnchanged(state) ? kMsgViewFailed : kMsgSourceChanged);
  }
  // The size was taken before the mapping; a file that changed in between
  // would be cut by a plan that no longer fits it.
  if (!SourceUnchanged(state)) return Fail(state, kMsgSourceChanged);

  state.outcome = JobOutcome::kRefused;
  bool ended = false;
  switch (request.method) {
    case Keyword: ended = SplitByKeyword(state); break;
    case Pieces: ended = SplitByCount(state); break;
    case Size: ended = SplitBySize(state); break;
  }
  if (!ended) return;
  state.outcome = JobOutcome::kFinished;
  WarnOfStalePiece(state);
  if (request.dryRun) return;
  if (request.writeBatch && !WriteJoinBatch(request, state.lastPieceNumber, state.sourceFile.Get(), state.report)) {
    state.outcome = JobOutcome::kFailed;
  }
  if (request.writeScript && !WriteJoinScript(request, state.lastPieceNumber, state.sourceFile.Get(), state.report)) {
    state.outcome = JobOutcome::kFailed;
  }
}

std::string DryRunText(const SplitJobState& state) {
  return FillTemplate(kDryRunSplit, {SourceFileName(state.request.sourcePath), DecimalText(state.lastPieceNumber),
                                     state.firstPieceName, DecimalText(state.firstPieceSize), state.pieceName,
                                     DecimalText(state.lastPieceSize)});
}

// Runs the steps; allocation failure anywhere ends the job like any other
// failure, with its own message.
void RunSplitStepsGuarded(SplitJobState& state) {
  try {
    RunSplitSteps(state);
  } catch (const std::bad_alloc&) {
    state.splitFinished = false;
    Fail(state, kLowMemoryText);
  }
}

// Releases what is still held, in the job's order, then tells the user. A
// piece still unfinished here is removed, so no partial piece is left.
void FinishSplit(SplitJobState& state) {
  state.pieceFile.Release();
  if (state.pieceIncomplete) RemoveFile(state.pieceTempName);
  if (!state.view.Release()) state.report.ShowInfo(kMsgUnmapFailed);
  state.mapping.Release();
  state.sourceFile.Release();
  if (state.splitFinished) state.report.ShowInfo(state.request.dryRun ? DryRunText(state) : kMsgSplitFinished);
  state.report.EnableButtons(true);
}

}  // namespace

std::optional<SplitPlan> PlanBySize(uint64_t fileSize, int64_t pieceBytes) {
  if (pieceBytes <= 0 || static_cast<uint64_t>(pieceBytes) >= fileSize) return std::nullopt;
  SplitPlan plan;
  plan.pieceSize = static_cast<uint64_t>(pieceBytes);
  plan.pieceCount = fileSize / plan.pieceSize;
  plan.remainder = fileSize % plan.pieceSize;
  return plan;
}

std::optional<SplitPlan> PlanByCount(uint64_t fileSize, int64_t pieceCount) {
  if (pieceCount <= 0) return std::nullopt;
  SplitPlan plan;
  plan.pieceCount = static_cast<uint64_t>(pieceCount);
  plan.pieceSize = fileSize / plan.pieceCount;
  plan.remainder = fileSize % plan.pieceCount;
  return plan;
}

uint64_t LastPlannedPiece(SplitMethod method, const SplitPlan& plan) {
  if (method == Size) return plan.pieceCount + (plan.remainder != 0 ? 1 : 0);
  return plan.pieceCount;
}

BoxAnswer ConfirmSplitPlan(JobReport& report, SplitMethod method, const SplitPlan& plan) {
  std::string text;
  if (method == Size) {
    text = FillTemplate(kConfirmSize, {DecimalText(LastPlannedPiece(Size, plan))});
  } else if (plan.remainder == 0) {
    text = FillTemplate(kConfirmPieces, {DecimalText(plan.pieceCount), DecimalText(plan.pieceSize)});
  } else {
    text = FillTemplate(kConfirmPiecesRemainder, {DecimalText(plan.pieceCount - 1), DecimalText(plan.pieceSize),
                                                  DecimalText(plan.pieceSize + plan.remainder)});
  }
  return report.AskYesNo(text);
}

bool CheckPieceNamesFit(SplitJobState& state, uint64_t lastPiece) {
  const std::string longest = MakePieceName(state.stem, DecimalText(lastPiece));
  if (PathFitsSystem(MakeTemporaryName(longest))) return true;
  Refuse(state, FillTemplate(kMsgNameTooLong, {longest}));
  return false;
}

namespace {

// Bytes handed to one write, so that a request to stop is seen promptly.
constexpr uint64_t kWriteBlock = uint64_t{8} << 20;

// The piece's bytes into its open temporary file.
IoError CopyPieceBytes(SplitJobState& state, uint64_t length, bool* viewFailed) {
  for (uint64_t written = 0; written < length;) {
    if (StopRequested()) return IoError::kOther;
    uint64_t available = 0;
    const unsigned char* bytes = state.view.Bytes(state.cursor + written, 1, &available);
    if (bytes == nullptr) {
      *viewFailed = true;
      return IoError::kOther;
    }
    uint64_t chunk = length - written;
    if (chunk > available) chunk = available;
    if (chunk > kWriteBlock) chunk = kWriteBlock;
    IoError error = WriteAll(state.pieceFile.Get(), bytes, static_cast<size_t>(chunk));
    if (error != IoError::kNone) return error;
    written += chunk;
  }
  return IoError::kNone;
}

}  // namespace

bool WritePiece(SplitJobState& state, uint64_t length) {
  state.pieceName = MakePieceName(state.stem, DecimalText(state.pieceNumber));
  state.pieceTempName = MakeTemporaryName(state.pieceName);
  if (state.request.dryRun) {
    if (state.pieceNumber == 1) {
      state.firstPieceName = state.pieceName;
      state.firstPieceSize = length;
    }
    state.lastPieceSize = length;
    return true;
  }
  // The piece would replace the file being read.
  if (IsSameFile(state.pieceName, state.sourceFile.Get()) || IsSameFile(state.pieceTempName, state.sourceFile.Get())) {
    Fail(state, FillTemplate(kMsgPieceIsSource, {state.pieceName}));
    return false;
  }
  if (!state.pieceFile.Hold(CreatePieceFile(state.pieceTempName))) {
    Fail(state, std::string());
    return false;
  }
  state.pieceIncomplete = true;
  bool viewFailed = false;
  IoError error = CopyPieceBytes(state, length, &viewFailed);
  bool closed = state.pieceFile.Release();
  const char* problem = nullptr;
  // POSIX lets other programs write, truncate or extend a mapped file. A
  // piece read meanwhile may hold bytes that are not the source's.
  if (!SourceUnchanged(state)) {
    problem = kMsgSourceChanged;
  } else if (StopRequested()) {
    problem = kMsgSplitInterrupted;
  } else if (viewFailed) {
    problem = kMsgViewFailed;
  }
  if (problem != nullptr || error != IoError::kNone || !closed) {
    // A piece cut short must not pass for a whole one.
    RemoveFile(state.pieceTempName);
    state.pieceIncomplete = false;
  }
  if (problem != nullptr) {
    Fail(state, problem);
    return false;
  }
  if (error != IoError::kNone || !closed) {
    std::string message = FillTemplate(kMsgPieceWriteFailed, {state.pieceName});
    if (error == IoError::kDiskFull) message = kMsgDriveFull + message;
    Fail(state, message);
    return false;
  }
  // Only a whole piece ever stands under a piece's name.
  if (!ReplaceFileWith(state.pieceTempName, state.pieceName)) {
    Fail(state, FillTemplate(kMsgPieceRenameFailed, {state.pieceName}));
    return false;
  }
  state.pieceIncomplete = false;
  return true;
}

JobOutcome PerformSplitJob(const SplitRequest& request, JobReport& report) {
  report.EnableButtons(false);
  SplitJobState state(request, report);
  RunSplitStepsGuarded(state);
  FinishSplit(state);
  return state.outcome;
}
