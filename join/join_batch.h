// JOIN.BAT: a script that re-creates a split file with COPY /B.
#ifndef DORVENAL_JOIN_BATCH_H
#define DORVENAL_JOIN_BATCH_H

#include <cstdint>
#include <string>

#include "job_result.h"
#include "platform.h"

constexpr char kJoinBatchName[] = "JOIN.BAT";

// Whether JOIN.BAT can name a file so called: Windows allows no " * ? < >
// | : or control character in a name.
bool BatchCanName(const std::string& sourceFileName);

// The whole script for a source file name split into pieces 1..lastPiece.
std::string BuildJoinBatchText(const std::string& sourceFileName, uint64_t lastPiece);

// Writes JOIN.BAT into the target directory for a split that has just
// given pieces 1..lastPiece their names. `source` is the open source file
// (none for a stream), which the batch file must never replace.
bool WriteJoinBatch(const std::string& sourceFileName, const std::string& targetDir, uint64_t lastPiece,
                    FileHandle source, StopReason* stop);

// Creates or replaces the file at path with exactly `text`, written under
// a temporary name first, runnable by whoever may read it when asked;
// the error when it could not.
SystemError WriteWholeFile(const std::string& path, const std::string& text, bool executable = false);

#endif
