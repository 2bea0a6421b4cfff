// What a split or a join is asked to do, as plain values: the dialog, the
// command line and the tests each gather them in their own way.
#ifndef DORVENAL_JOB_REQUEST_H
#define DORVENAL_JOB_REQUEST_H

#include <cstdint>
#include <string>

enum SplitMethod : int32_t { Keyword = 0, Size = 1, Pieces = 2 };

// The longest keyword, in bytes: the dialog's 25 characters in UTF-8.
constexpr size_t kMaxKeywordBytes = 100;

// Piece numbers are printed in at most nine digits.
constexpr uint64_t kMaxPieceNumber = 999999999;

struct SplitRequest {
  std::string sourcePath;
  // The source is the process's standard input; the pieces are named
  // after streamName, which stands in for the source path.
  bool fromStandardInput = false;
  std::string streamName;
  std::string targetDir;
  SplitMethod method = Pieces;
  uint64_t pieceBytes = 0;  // Size: bytes per piece
  uint64_t pieceCount = 0;  // Pieces: how many
  std::string keyword;      // Keyword: the exact bytes to cut after
  bool writeBatch = false;   // JOIN.BAT beside the pieces
  // The code page JOIN.BAT is written in, the one cmd.exe will read it in:
  // 0 for this system's (SystemBatchCodePage), else a Windows code page
  // number (437, 850, 866, 932, 936, 65001, ...).
  uint32_t batchCodePage = 0;
  bool writeScript = false;  // join.sh beside the pieces
  // STEM.sha256 beside the pieces: a SHA-256 line for every piece, then one
  // for the whole file, as `sha256sum -c` reads them.
  bool writeChecksums = false;
  bool dryRun = false;       // plan and tell, write nothing
  // Recovery pieces STEM.r1 ... beside the pieces, from which any that many
  // lost or damaged pieces are rebuilt; they come with the manifest.
  uint32_t recoveryCount = 0;
};

struct JoinRequest {
  std::string firstPiecePath;  // the ".1" piece
  std::string targetDir;
  bool dryRun = false;
};

#endif
