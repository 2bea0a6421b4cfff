// JOIN.BAT: a script that re-creates a split file with COPY /B.
#ifndef DORVENAL_JOIN_BATCH_H
#define DORVENAL_JOIN_BATCH_H

#include <cstdint>
#include <string>

#include "job_report.h"
#include "job_request.h"
#include "platform.h"

constexpr char kJoinBatchName[] = "JOIN.BAT";

// The whole script for a source file name split into pieces 1..lastPiece,
// from the string-table templates; empty when a template cannot be loaded.
std::string BuildJoinBatchText(const std::string& sourceFileName, uint64_t lastPiece);

// Writes JOIN.BAT into the target directory for the split of `request`
// that has just written pieces 1..lastPiece. `source` is the open source
// file, which the batch file must never replace. False, after an error
// box, when the file could not be written whole.
bool WriteJoinBatch(const SplitRequest& request, uint64_t lastPiece, FileHandle source, JobReport& report);

// Creates (or replaces) a file holding exactly `text`; a file that could
// not be written whole is removed. False then.
bool WriteWholeFile(const std::string& path, const std::string& text);

#endif
