// The split job: reads the request from the dialog, maps the source and
// cuts it into numbered pieces by size, by count or by keyword.
#ifndef DORVENAL_SPLIT_JOB_H
#define DORVENAL_SPLIT_JOB_H

#include <cstdint>
#include <string>

#include "job_outcome.h"
#include "platform.h"
#include "slots.h"
#include "source_view.h"

constexpr int kPlanAccepted = 100;
constexpr int kPlanRefused = 99;

// Piece numbers are printed in at most nine digits.
constexpr uint64_t kMaxPieceNumber = 999999999;

// The working record of one run.
struct SplitJobState {
  Dialog* dialog = nullptr;
  std::string sourcePath;
  std::string targetDir;
  std::string stem;
  std::string pieceName;
  std::string pieceNumberText = "1";
  bool splitFinished = false;
  FileSlot sourceFile;
  MappingSlot mapping;
  SourceView view;
  uint64_t fileSize = 0;
  uint64_t cursor = 0;  // offset in the source where the next piece begins
  FileSlot pieceFile;
  JobOutcome outcome = JobOutcome::kRefused;
};

// Always 1: the outcome has been told in message boxes.
int RunSplitJob(Dialog* dialog);
JobOutcome PerformSplitJob(Dialog* dialog);

// 100 with the plan stored in gSession, or 99 with nothing written.
int PlanBySize(uint64_t fileSize);
int PlanByCount(uint64_t fileSize);
BoxAnswer ConfirmSplitPlan(Dialog* dialog);

// Writes the piece named by pieceNumberText: `length` bytes from `cursor`.
// False (after saying why, where there is something to say) when it failed.
bool WritePiece(SplitJobState& state, uint64_t length);

// Reads pieceNumberText (the piece just written), prints the next number
// into it and returns the one read; 0 when the next would not fit nine digits.
uint64_t AdvancePieceNumber(SplitJobState& state);

#endif
