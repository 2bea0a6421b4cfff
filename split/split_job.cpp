#include "split_job.h"

#include "free_space.h"
#include "join_batch.h"
#include "keyword_split.h"
#include "naming.h"
#include "resource_ids.h"
#include "session_state.h"
#include "text_format.h"
#include "texts.h"

namespace {

void Refuse(SplitJobState& state, const char* message, int focusId) {
  ShowInfoBox(state.dialog, message);
  FocusControl(state.dialog, focusId);
  state.outcome = JobOutcome::kRefused;
}

void Fail(SplitJobState& state, const std::string& message) {
  if (!message.empty()) ShowInfoBox(state.dialog, message);
  state.outcome = JobOutcome::kFailed;
}

// Whether the source still has the size the job planned with.
bool SourceUnchanged(const SplitJobState& state) {
  uint64_t sizeNow = 0;
  return GetFileSize64(state.sourceFile.Get(), &sizeNow) && sizeNow == state.fileSize;
}

// The number of the last piece a plan writes.
uint64_t LastPlannedPiece(SplitMethod method) {
  if (method == Size) return gSession.pieceCount + (gSession.remainder != 0 ? 1 : 0);
  return gSession.pieceCount;
}

// Checks the plan that a planner accepted, asks the user, and sets up the
// progress bar. False when the split must not go on.
bool ConfirmAndPrepare(SplitJobState& state, SplitMethod method) {
  uint64_t lastPiece = LastPlannedPiece(method);
  if (lastPiece > kMaxPieceNumber) {
    Fail(state, kMsgTooManyPieces);
    state.outcome = JobOutcome::kRefused;
    return false;
  }
  if (ConfirmSplitPlan(state.dialog) == kAnswerNo) {
    state.outcome = JobOutcome::kDeclined;
    return false;
  }
  state.cursor = 0;
  SetProgressRange(state.dialog, 1, static_cast<uint32_t>(lastPiece));
  SetProgressStep(state.dialog, 1);
  return true;
}

bool SplitBySize(SplitJobState& state) {
  int64_t entry = GetControlNumber(state.dialog, IDC_VALUE);
  // Scaled in 64 bits: a large KB entry must not wrap into a small size.
  if (IsControlChecked(state.dialog, IDC_UNIT_KB)) entry *= 1024;
  gSession.valueNumber = entry;
  if (PlanBySize(state.fileSize) != kPlanAccepted) return false;
  if (!ConfirmAndPrepare(state, Size)) return false;

  for (uint64_t k = 1; k <= gSession.pieceCount; ++k) {
    if (!WritePiece(state, gSession.pieceSize)) return false;
    state.cursor += gSession.pieceSize;
    SetProgressPos(state.dialog, static_cast<uint32_t>(AdvancePieceNumber(state)));
  }
  if (gSession.remainder != 0) {
    if (!WritePiece(state, gSession.remainder)) return false;
    SetProgressPos(state.dialog, static_cast<uint32_t>(gSession.pieceCount + 1));
  }
  state.splitFinished = true;
  gSession.lastPieceNumber = LastPlannedPiece(Size);
  return true;
}

bool SplitByCount(SplitJobState& state) {
  gSession.valueNumber = GetControlNumber(state.dialog, IDC_VALUE);
  if (PlanByCount(state.fileSize) != kPlanAccepted) return false;
  if (!ConfirmAndPrepare(state, Pieces)) return false;

  for (uint64_t k = 1; k <= gSession.pieceCount; ++k) {
    uint64_t length = gSession.pieceSize + (k == gSession.pieceCount ? gSession.remainder : 0);
    if (!WritePiece(state, length)) return false;
    state.cursor += gSession.pieceSize;
    SetProgressPos(state.dialog, static_cast<uint32_t>(AdvancePieceNumber(state)));
  }
  state.splitFinished = true;
  gSession.lastPieceNumber = ParsePieceNumber(state.pieceNumberText);
  return true;
}

// Everything from reading the request to the batch step; every way out
// leads to FinishSplit.
void RunSplitSteps(SplitJobState& state) {
  Dialog* dialog = state.dialog;
  std::string source = GetControlText(dialog, IDC_SOURCE_PATH);
  std::string target = GetControlText(dialog, IDC_TARGET_PATH);
  if (source.empty()) return Refuse(state, kMsgNoSource, IDC_SOURCE_BROWSE);
  if (target.empty()) return Refuse(state, kMsgNoTarget, IDC_TARGET_BROWSE);
  if (GetControlText(dialog, IDC_VALUE).empty()) return Refuse(state, kMsgNoValue, IDC_VALUE);

  state.sourcePath = source;
  state.targetDir = target;
  state.stem = BuildPieceStem(state.sourcePath, state.targetDir);

  state.outcome = JobOutcome::kFailed;
  if (!state.sourceFile.Hold(OpenSourceFile(state.sourcePath))) return;
  if (!GetFileSize64(state.sourceFile.Get(), &state.fileSize)) return;
  if (state.fileSize == 0) {
    Fail(state, kMsgEmptySource);
    state.outcome = JobOutcome::kRefused;
    return;
  }
  if (CheckFreeSpace(state.targetDir, state.fileSize) == 0) {
    Fail(state, kMsgNoSpaceSplit);
    state.outcome = JobOutcome::kRefused;
    return;
  }
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
  switch (gSession.splitMethod) {
    case Keyword:
      ended = SplitByKeyword(state);
      if (ended) gSession.lastPieceNumber = ParsePieceNumber(state.pieceNumberText);
      break;
    case Pieces:
      ended = SplitByCount(state);
      break;
    case Size:
      ended = SplitBySize(state);
      break;
  }
  if (!ended) return;
  state.outcome = JobOutcome::kFinished;
  if (IsControlChecked(dialog, IDC_MAKE_BATCH) && !WriteJoinBatch(dialog, state.sourceFile.Get())) {
    state.outcome = JobOutcome::kFailed;
  }
}

// Releases what is still held, in the job's order, then tells the user.
void FinishSplit(SplitJobState& state) {
  if (!state.view.Release()) ShowInfoBox(state.dialog, kMsgUnmapFailed);
  state.mapping.Release();
  state.sourceFile.Release();
  state.sourcePath.clear();
  state.targetDir.clear();
  if (state.splitFinished) ShowInfoBox(state.dialog, kMsgSplitFinished);
  EnableControl(state.dialog, IDOK, true);
  EnableControl(state.dialog, IDCANCEL, true);
}

}  // namespace

int PlanBySize(uint64_t fileSize) {
  int64_t size = gSession.valueNumber;
  if (size <= 0 || static_cast<uint64_t>(size) >= fileSize) return kPlanRefused;
  gSession.pieceSize = static_cast<uint64_t>(size);
  gSession.pieceCount = fileSize / gSession.pieceSize;
  gSession.remainder = fileSize % gSession.pieceSize;
  return kPlanAccepted;
}

int PlanByCount(uint64_t fileSize) {
  int64_t count = gSession.valueNumber;
  if (count <= 0) return kPlanRefused;
  gSession.pieceCount = static_cast<uint64_t>(count);
  gSession.pieceSize = fileSize / gSession.pieceCount;
  gSession.remainder = fileSize % gSession.pieceCount;
  return kPlanAccepted;
}

BoxAnswer ConfirmSplitPlan(Dialog* dialog) {
  std::string text;
  if (gSession.splitMethod == Size) {
    text = FillTemplate(kConfirmSize, {DecimalText(LastPlannedPiece(Size))});
  } else if (gSession.remainder == 0) {
    text = FillTemplate(kConfirmPieces, {DecimalText(gSession.pieceCount), DecimalText(gSession.pieceSize)});
  } else {
    text = FillTemplate(kConfirmPiecesRemainder,
                        {DecimalText(gSession.pieceCount - 1), DecimalText(gSession.pieceSize),
                         DecimalText(gSession.pieceSize + gSession.remainder)});
  }
  return AskYesNo(dialog, text);
}

uint64_t AdvancePieceNumber(SplitJobState& state) {
  uint64_t written = ParsePieceNumber(state.pieceNumberText);
  if (written >= kMaxPieceNumber) return 0;
  state.pieceNumberText = DecimalText(written + 1);
  return written;
}

bool WritePiece(SplitJobState& state, uint64_t length) {
  state.pieceName = MakePieceName(state.stem, state.pieceNumberText);
  // Creating the piece would empty the file being read.
  if (IsSameFile(state.pieceName, state.sourceFile.Get())) {
    Fail(state, FillTemplate(kMsgPieceIsSource, {state.pieceName}));
    return false;
  }
  if (!state.pieceFile.Hold(CreatePieceFile(state.pieceName))) {
    Fail(state, std::string());
    return false;
  }
  IoError error = IoError::kNone;
  for (uint64_t written = 0; written < length && error == IoError::kNone;) {
    uint64_t available = 0;
    const unsigned char* bytes = state.view.Bytes(state.cursor + written, 1, &available);
    if (bytes == nullptr) {
      state.pieceFile.Release();
      RemoveFile(state.pieceName);
      Fail(state, SourceUnchanged(state) ? kMsgViewFailed : kMsgSourceChanged);
      return false;
    }
    uint64_t chunk = length - written < available ? length - written : available;
    error = WriteAll(state.pieceFile.Get(), bytes, static_cast<size_t>(chunk));
    written += chunk;
  }
  bool closed = state.pieceFile.Release();
  // POSIX lets other programs truncate or extend a mapped file. A piece
  // read meanwhile may hold bytes that are not the source's (or have
  // failed on pages that are gone), and reading on could fault.
  if (!SourceUnchanged(state)) {
    RemoveFile(state.pieceName);
    Fail(state, kMsgSourceChanged);
    return false;
  }
  if (error != IoError::kNone || !closed) {
    // A piece cut short must not pass for a whole one.
    RemoveFile(state.pieceName);
    std::string message = FillTemplate(kMsgPieceWriteFailed, {state.pieceName});
    if (error == IoError::kDiskFull) message = kMsgDriveFull + message;
    Fail(state, message);
    return false;
  }
  return true;
}

JobOutcome PerformSplitJob(Dialog* dialog) {
  EnableControl(dialog, IDOK, false);
  EnableControl(dialog, IDCANCEL, false);
  SplitJobState state;
  state.dialog = dialog;
  RunSplitSteps(state);
  FinishSplit(state);
  return state.outcome;
}

int RunSplitJob(Dialog* dialog) {
  PerformSplitJob(dialog);
  return 1;
}
