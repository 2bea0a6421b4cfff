// How a size or count split cuts a source of known size: pieceCount pieces
// of pieceSize bytes, the remainder going to a piece of its own (Size) or
// to the last piece (Pieces).
#ifndef DORVENAL_PIECE_PLAN_H
#define DORVENAL_PIECE_PLAN_H

#include <cstdint>
#include <string>

#include "job_report.h"
#include "job_request.h"
#include "job_result.h"

struct SplitPlan {
  SplitMethod method = Size;
  uint64_t pieceSize = 0;
  uint64_t pieceCount = 0;
  uint64_t remainder = 0;
};

// The plan for the request's size or count, or false with the refusal.
bool PlanBySize(uint64_t fileSize, uint64_t pieceBytes, SplitPlan* plan, StopKind* refusal);
bool PlanByCount(uint64_t fileSize, uint64_t pieceCount, SplitPlan* plan, StopKind* refusal);

// The number of the last piece the plan writes.
uint64_t LastPlannedPiece(const SplitPlan& plan);
// The length of piece `number` (from 1).
uint64_t PlannedPieceLength(const SplitPlan& plan, uint64_t number);

// The confirmation question for the plan of a file `name` of fileSize bytes.
Question SplitPlanQuestion(const SplitPlan& plan, uint64_t fileSize, const std::string& name);

#endif
