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

struct JoinJobState {
  JoinJobState(const JoinRequest& request, JobReport& report) : request(request), report(report) {}
  const JoinRequest& request;
  JobReport& report;
  PieceSetName set;
  std::string restoredName;
  std::string outputPath;
  std::string outputTempName;  // where the output is written until it is whole
  std::string pieceName;
  std::vector<unsigned char> copyBuffer;
  uint64_t pieceCount = 0;
  uint64_t totalSize = 0;
  FileSlot pieceFile;
  FileSlot outputFile;
  bool joinFinished = false;
  bool outputIncomplete = false;  // the temporary file exists and is not yet whole
  JobOutcome outcome = JobOutcome::kRefused;
};

std::string PiecePath(const JoinJobState& state, uint64_t number) {
  return MakePieceName(state.set.pieceDir + state.set.stemName, DecimalText(number));
}

// Counts the consecutive pieces from 1 and adds up their sizes, from
// directory look-ups alone.
void DiscoverPieces(JoinJobState& state) {
  uint64_t size = 0;
  while (FindFileExact(PiecePath(state, state.pieceCount + 1), &size)) {
    ++state.pieceCount;
    state.totalSize += size;
  }
}

// True when the output path reaches one of the pieces (through a link, or
// a name the system treats as the same): creating it would destroy a piece.
bool OutputIsAPiece(const JoinJobState& state) {
  FileSlot existing;
  if (!existing.Hold(OpenPieceForReading(state.outputPath))) return false;
  for (uint64_t k = 1; k <= state.pieceCount; ++k) {
    if (IsSameFile(PiecePath(state, k), existing.Get())) return true;
  }
  return false;
}

void Fail(JoinJobState& state, const char* pattern, const std::string& name) {
  state.report.ShowInfo(FillTemplate(pattern, {name}));
  state.outcome = JobOutcome::kFailed;
}

void FailToWrite(JoinJobState& state, IoError error) {
  std::string message = FillTemplate(kMsgOutputWriteFailed, {state.outputPath});
  if (error == IoError::kDiskFull) message = kMsgDriveFull + message;
  state.report.ShowInfo(message);
  state.outcome = JobOutcome::kFailed;
}

bool CopyPiece(JoinJobState& state, uint64_t number) {
  state.pieceName = PiecePath(state, number);
  if (!state.pieceFile.Hold(OpenPieceForReading(state.pieceName))) {
    Fail(state, kMsgPieceOpenFailed, state.pieceName);
    return false;
  }
  for (;;) {
    if (StopRequested()) {
      state.report.ShowInfo(kMsgJoinInterrupted);
      state.outcome = JobOutcome::kFailed;
      return false;
    }
    size_t got = 0;
    if (ReadSome(state.pieceFile.Get(), state.copyBuffer.data(), state.copyBuffer.size(), &got) != IoError::kNone) {
      Fail(state, kMsgPieceReadFailed, state.pieceName);
      return false;
    }
    if (got == 0) break;
    IoError error = WriteAll(state.outputFile.Get(), state.copyBuffer.data(), got);
    if (error != IoError::kNone) {
      FailToWrite(state, error);
      return false;
    }
  }
  state.pieceFile.Release();
  return true;
}

void RunJoinSteps(JoinJobState& state) {
  JobReport& report = state.report;
  if (!IsFirstPiecePath(state.request.firstPiecePath)) {
    report.ShowInfo(kMsgNotFirstPiece);
    return;
  }
  state.set = SplitFirstPiecePath(state.request.firstPiecePath);
  DiscoverPieces(state);
  // Without a first piece there is nothing to join; going on would empty
  // an existing file and call that a success.
  if (state.pieceCount == 0) return Fail(state, kMsgFirstPieceMissing, PiecePath(state, 1));
  state.restoredName = RestoreFileName(state.set.stemName);
  if (CheckFreeSpace(state.request.targetDir, state.totalSize) == 0) {
    report.ShowInfo(kMsgNoSpaceJoin);
    return;
  }
  if (state.request.dryRun) {
    report.ShowInfo(FillTemplate(kDryRunJoin, {DecimalText(state.pieceCount), DecimalText(state.totalSize),
                                               PiecePath(state, 1), PiecePath(state, state.pieceCount),
                                               JoinPath(state.request.targetDir, state.restoredName)}));
    state.outcome = JobOutcome::kFinished;
    return;
  }
  std::string confirmation =
      FillTemplate(kConfirmJoin, {DecimalText(state.pieceCount), state.restoredName, state.restoredName,
                                  DecimalText(state.totalSize), state.restoredName});
  if (report.AskYesNo(confirmation) == kAnswerNo) {
    state.outcome = JobOutcome::kDeclined;
    return;
  }

  state.outputPath = JoinPath(state.request.targetDir, state.restoredName);
  if (OutputIsAPiece(state)) return Fail(state, kMsgOutputIsPiece, state.outputPath);
  // Written under a temporary name, so that a failure leaves an existing
  // file of the restored name as it was.
  state.outputTempName = MakeTemporaryName(state.outputPath);
  if (!state.outputFile.Hold(CreateSharedFile(state.outputTempName))) {
    return Fail(state, kMsgOutputCreateFailed, state.outputPath);
  }
  state.outputIncomplete = true;
  state.copyBuffer.assign(JOIN_BUFFER_SIZE, 0);
  report.SetProgressRange(1, static_cast<uint32_t>(state.pieceCount));
  report.SetProgressStep(1);
  for (uint64_t k = 1; k <= state.pieceCount; ++k) {
    report.SetProgressPos(static_cast<uint32_t>(k));
    if (!CopyPiece(state, k)) return;
  }
  if (StopRequested()) {
    report.ShowInfo(kMsgJoinInterrupted);
    state.outcome = JobOutcome::kFailed;
    return;
  }
  if (!state.outputFile.Release()) return Fail(state, kMsgOutputWriteFailed, state.outputPath);
  if (!ReplaceFileWith(state.outputTempName, state.outputPath)) {
    return Fail(state, kMsgOutputRenameFailed, state.outputPath);
  }
  state.outputIncomplete = false;
  state.joinFinished = true;
  state.outcome = JobOutcome::kFinished;
  state.copyBuffer.clear();
  state.copyBuffer.shrink_to_fit();
}

// Releases what is still held; an output not yet given its name is
// incomplete and is removed, so that no partial file passes for the joined one.
void FinishJoin(JoinJobState& state) {
  state.pieceFile.Release();
  state.outputFile.Release();
  if (state.outputIncomplete) RemoveFile(state.outputTempName);
  if (state.joinFinished) state.report.ShowInfo(kMsgJoinFinished);
}

}  // namespace

JobOutcome PerformJoinJob(const JoinRequest& request, JobReport& report) {
  JoinJobState state(request, report);
  try {
    RunJoinSteps(state);
  } catch (const std::bad_alloc&) {
    state.joinFinished = false;
    report.ShowInfo(kLowMemoryText);
    state.outcome = JobOutcome::kFailed;
  }
  FinishJoin(state);
  return state.outcome;
}
