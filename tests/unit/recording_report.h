// A report that writes each call of a job down as one line and answers its questions from a list given in advance. No
// test framework: the fuzz target uses it too.
#ifndef DORVENAL_RECORDING_REPORT_H
#define DORVENAL_RECORDING_REPORT_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "job_report.h"
#include "naming.h"

using Log = std::vector<std::string>;

// "stopped <kind> <path> <code>", as the report writes a stop down.
inline std::string StopLine(const StopReason& reason) {
  static const char* const kNames[] = {
      "none", "failed", "size-zero", "size-not-below-source", "too-many-pieces", "keyword-empty", "keyword-too-long",
      "count-of-stream", "batch-name-invalid", "batch-name-code-page", "names-too-long", "source-not-regular",
      "source-empty", "source-changed", "no-free-space", "keyword-not-found", "piece-is-source", "batch-is-source", "script-is-source",
      "not-first-piece", "first-piece-missing", "output-is-piece", "piece-missing", "piece-unreadable",
      "piece-changed", "piece-not-regular", "piece-empty", "set-changed", "manifest-missing", "manifest-invalid", "piece-checksum", "unfinished-change", "other-runs-set", "lock-not-a-file", "interrupted", "low-memory",
      "recovery-too-many", "too-many-lost", "no-recovery-pieces", "manifest-not-regular", "name-not-plain",
      "sizes-overflow"};
  static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(StopKind::kSizesOverflow) + 1, "a name a kind");
  // A refused operation: "stopped <operation>-<role> ...", as "stopped lock-lock ...".
  static const char* const kRoles[] = {"file", "source", "piece", "output", "manifest", "batch", "script",
                                       "lock", "folder", "journal", "backup"};
  static const char* const kOperations[] = {"use", "open", "create", "list", "stat", "read",
                                            "write", "sync", "rename", "remove", "lock", "lookup"};
  const std::string kind = reason.kind == StopKind::kFailed
                               ? std::string(kOperations[static_cast<size_t>(reason.operation)]) + "-" +
                                     kRoles[static_cast<size_t>(reason.role)]
                               : kNames[static_cast<size_t>(reason.kind)];
  const std::string notBack = reason.otherCode == kNoError
                                  ? std::string()
                                  : " not-put-back " + reason.otherPath + " " + std::to_string(reason.otherCode);
  return "stopped " + kind + " " + reason.path + " " + std::to_string(reason.code) + notBack;
}

class RecordingReport : public JobReport {
 public:
  explicit RecordingReport(std::vector<Answer> answers = {Answer::kYes}) : answers_(std::move(answers)) {}

  // "ask <size|count|join> <pieces> <piece bytes> <last piece bytes> <total bytes> <name>".
  Answer Ask(const Question& q) override {
    static const char* const kKinds[] = {"size", "count", "join"};
    Add(std::string("ask ") + kKinds[static_cast<size_t>(q.kind)] + " " + std::to_string(q.pieces) + " " +
        std::to_string(q.pieceBytes) + " " + std::to_string(q.lastPieceBytes) + " " + std::to_string(q.totalBytes) +
        " " + q.name);
    if (asked_ < answers_.size()) return answers_[asked_++];
    Add("unexpected question");
    return Answer::kNo;
  }
  void Warn(const Warning& warning) override {
    static const char* const kKinds[] = {"stale", "waiting", "finished", "undone", "rebuilt"};
    Add(std::string("warn ") + kKinds[static_cast<size_t>(warning.kind)] + " " + warning.path);
  }
  void StartProgress(uint64_t pieces, uint64_t bytes) override {
    Add("start " + std::to_string(pieces) + " " + std::to_string(bytes));
  }
  void Progress(uint64_t piece, uint64_t bytes) override {
    Add("progress " + std::to_string(piece) + " " + std::to_string(bytes));
  }
  // "finished [dry ]<name> <pieces> <bytes> <first>:<bytes> <last>:<bytes>", the pieces by file name.
  void Finished(const JobSummary& s) override {
    Add(std::string("finished ") + (s.dryRun ? "dry " : "") + s.sourceName + " " + std::to_string(s.pieces) + " " +
        std::to_string(s.totalBytes) + " " + SourceFileName(s.firstPiece) + ":" + std::to_string(s.firstPieceBytes) +
        " " + SourceFileName(s.lastPiece) + ":" + std::to_string(s.lastPieceBytes));
  }
  void Stopped(const StopReason& reason) override { Add(StopLine(reason)); }

  Log log;
  // Runs after each line is written down: a test's way to act mid-job.
  std::function<void(const std::string& line)> onLine;

 private:
  void Add(const std::string& line) {
    log.push_back(line);
    if (onLine) onLine(line);
  }
  std::vector<Answer> answers_;
  size_t asked_ = 0;
};

#endif
