#include "piece_plan.h"


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

Question SplitPlanQuestion(const SplitPlan& plan, uint64_t fileSize, const std::string& name) {
  Question question;
  question.kind = plan.method == Size ? QuestionKind::kSplitBySize : QuestionKind::kSplitByCount;
  question.pieces = LastPlannedPiece(plan);
  question.pieceBytes = plan.pieceSize;
  question.lastPieceBytes = PlannedPieceLength(plan, question.pieces);
  question.totalBytes = fileSize;
  question.name = name;
  return question;
}
