// What a split or a join is asked to do: the same plain values whichever
// front end (the dialog, the command line, a test) gathered them.
#ifndef DORVENAL_JOB_REQUEST_H
#define DORVENAL_JOB_REQUEST_H

#include <cstdint>
#include <string>

enum SplitMethod : int32_t { Keyword = 0, Size = 1, Pieces = 2 };

// How a Size value is counted.
enum class SizeUnit { kKilobytes, kBytes };

struct SplitRequest {
  std::string sourcePath;
  std::string targetDir;
  SplitMethod method = Pieces;
  // As the user gave it: the keyword text, or the number as typed (read by
  // the dialog's rule, so "12abc" is 0 and refused).
  std::string value;
  SizeUnit unit = SizeUnit::kKilobytes;
  bool writeBatch = false;
  bool writeScript = false;  // join.sh for POSIX systems
  bool dryRun = false;       // plan and tell, write nothing
};

struct JoinRequest {
  std::string firstPiecePath;  // the ".1" piece
  std::string targetDir;
  bool dryRun = false;
};

#endif
