// The split job: maps the source and cuts it into numbered pieces by size,
// by count or by keyword.
#ifndef DORVENAL_SPLIT_JOB_H
#define DORVENAL_SPLIT_JOB_H

#include <cstdint>
#include <optional>
#include <string>

#include "job_outcome.h"
#include "job_report.h"
#include "job_request.h"
#include "platform.h"
#include "slots.h"
#include "source_view.h"

// Piece numbers are printed in at most nine digits.
constexpr uint64_t kMaxPieceNumber = 999999999;

// How a size or count split cuts the source: pieceCount pieces of
// pieceSize bytes, the remainder going to a piece of its own (Size) or to
// the last piece (Pieces).
struct SplitPlan {
  uint64_t pieceSize = 0;
  uint64_t pieceCount = 0;
  uint64_t remainder = 0;
};

// The plan, or nothing when the value is refused (a size not below the
// file size, a size or count of 0 or less).
std::optional<SplitPlan> PlanBySize(uint64_t fileSize, int64_t pieceBytes);
std::optional<SplitPlan> PlanByCount(uint64_t fileSize, int64_t pieceCount);
// The number of the last piece the plan writes.
uint64_t LastPlannedPiece(SplitMethod method, const SplitPlan& plan);
BoxAnswer ConfirmSplitPlan(JobReport& report, SplitMethod method, const SplitPlan& plan);

// The working record of one run.
struct SplitJobState {
  SplitJobState(const SplitRequest& request, JobReport& report) : request(request), report(report) {}
  const SplitRequest& request;
  JobReport& report;
  std::string stem;
  std::string pieceName;
  std::string pieceTempName;  // where the piece is written until it is whole
  uint64_t pieceNumber = 1;      // the piece being written
  uint64_t lastPieceNumber = 0;  // the last piece written, once all are
  bool splitFinished = false;
  FileSlot sourceFile;
  MappingSlot mapping;
  SourceView view;
  uint64_t fileSize = 0;
  FileStamp sourceStamp;  // the source as the plan found it
  uint64_t cursor = 0;  // offset in the source where the next piece begins
  FileSlot pieceFile;
  bool pieceIncomplete = false;  // pieceTempName exists and is not yet whole
  // A dry run only notes the first and the last piece it would write.
  std::string firstPieceName;
  uint64_t firstPieceSize = 0;
  uint64_t lastPieceSize = 0;
  JobOutcome outcome = JobOutcome::kRefused;
};

JobOutcome PerformSplitJob(const SplitRequest& request, JobReport& report);

// Writes piece pieceNumber: `length` bytes from `cursor`, under a temporary
// name that becomes the piece's when it is whole. False (after saying why,
// where there is something to say) when it failed.
bool WritePiece(SplitJobState& state, uint64_t length);

// Refuses (with a box) piece names the system could not hold, up to the
// number of the last piece the split may write. True when they fit.
bool CheckPieceNamesFit(SplitJobState& state, uint64_t lastPiece);

#endif
