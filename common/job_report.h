// How a job talks to whoever started it while it runs: the dialog, the
// console or a test. Nothing else of the front end reaches a job.
#ifndef DORVENAL_JOB_REPORT_H
#define DORVENAL_JOB_REPORT_H

#include <cstdint>
#include <string>

#include "job_result.h"

enum class Answer { kYes, kNo };

// What a job asks before it writes anything; each front end words it.
enum class QuestionKind { kSplitBySize, kSplitByCount, kJoin };
struct Question {
  QuestionKind kind = QuestionKind::kJoin;
  uint64_t pieces = 0;          // in all
  uint64_t pieceBytes = 0;      // a split: each piece but the last
  uint64_t lastPieceBytes = 0;  // a split: the last piece
  uint64_t totalBytes = 0;
  std::string name;             // the file split, or the file a join re-creates
};

// Something the user should know while the job goes on.
enum class WarningKind {
  kStalePiece,      // path: a piece of an earlier split, numbered after this set
  kWaitingForLock,  // path: the folder's lock, which another run has held for a while
  // A run ended while it replaced the set (path: its stem); this run
  kChangeFinished,  // gave the new set its names,
  kChangeUndone,    // or put the old set back.
  kPiecesRebuilt,   // path: the pieces a join rebuilt from the recovery pieces, comma-separated
};
struct Warning {
  WarningKind kind;
  std::string path;
};

// What a finished job did, or what a dry run would have done.
struct JobSummary {
  bool dryRun = false;
  std::string sourceName;  // split: the file cut; join: the file re-created
  uint64_t pieces = 0;
  uint64_t totalBytes = 0;
  std::string firstPiece;
  uint64_t firstPieceBytes = 0;
  std::string lastPiece;
  uint64_t lastPieceBytes = 0;
  std::string output;  // join: the path of the re-created file
};

class JobReport {
 public:
  virtual ~JobReport() = default;
  // Whether to go on with what the question describes.
  virtual Answer Ask(const Question& question) = 0;
  virtual void Warn(const Warning& warning) = 0;
  // The work ahead: pieces, and bytes (0 when unknown, for a stream).
  virtual void StartProgress(uint64_t pieces, uint64_t bytes) = 0;
  // Where the work stands: at piece `piece` (a split reports each piece
  // once it is written, a join as it begins to copy it), `bytes` done.
  virtual void Progress(uint64_t piece, uint64_t bytes) = 0;
  // The job's last word: exactly one of these, or neither when declined.
  virtual void Finished(const JobSummary& summary) = 0;
  virtual void Stopped(const StopReason& reason) = 0;
};

#endif
