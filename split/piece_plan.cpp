#include "piece_plan.h"

#include "text_format.h"
#include "texts.h"

namespace {

bool Refuse(StopKind kind, StopKind* refusal) {
  *refusal = kind;
  return false;
}

}  // namespace

bool PlanBySize(uint64_t fileSize, uint64_t pieceBytes, SplitPlan* plan, StopKind* refusal) {
  if (pieceBytes == 0) return Refuse(StopKind::kSizeZero, refusal);
  if (pieceBytes >= fileSize) return Refuse(StopKind::kSizeNotBelowSource, refusal);
  *plan = SplitPlan{Size, pieceBytes, fileSize / pieceBytes, fileSize % pieceBytes};
  return LastPlannedPiece(*plan) <= kMaxPieceNumber || Refuse(StopKind::kTooManyPieces, refusal);
}

bool PlanByCount(uint64_t fileSize, uint64_t pieceCount, SplitPlan* plan, StopKind* refusal) {
  if (pieceCount == 0) return Refuse(StopKind::kSizeZero, refusal);
  if (pieceCount > kMaxPieceNumber) return Refuse(StopKind::kTooManyPieces, refusal);
  *plan = SplitPlan{Pieces, fileSize / pieceCount, pieceCount, fileSize % pieceCount};
  return true;
}

uint64_t LastPlannedPiece(const SplitPlan& plan) {
  if (plan.method == Size) return plan.pieceCount + (plan.remainder != 0 ? 1 : 0);
  return plan.pieceCount;
}

uint64_t PlannedPieceLength(const SplitPlan& plan, uint64_t number) {
  if (number > plan.pieceCount) return plan.remainder;  // Size: the piece of its own
  if (plan.method == Pieces && number == plan.pieceCount) return plan.pieceSize + plan.remainder;
  return plan.pieceSize;
}

std::string SplitPlanQuestion(const SplitPlan& plan) {
  if (plan.method == Size) return FillTemplate(kConfirmSize, {DecimalText(LastPlannedPiece(plan))});
  if (plan.remainder == 0) {
    return FillTemplate(kConfirmPieces, {DecimalText(plan.pieceCount), DecimalText(plan.pieceSize)});
  }
  return FillTemplate(kConfirmPiecesRemainder, {DecimalText(plan.pieceCount - 1), DecimalText(plan.pieceSize),
                                                DecimalText(plan.pieceSize + plan.remainder)});
}
