// join.sh: a POSIX shell script that re-creates a split file with cat, for
// systems without JOIN.BAT's command interpreter.
#ifndef DORVENAL_JOIN_SCRIPT_H
#define DORVENAL_JOIN_SCRIPT_H

#include <cstdint>
#include <string>

#include "job_report.h"
#include "job_request.h"
#include "platform.h"

constexpr char kJoinScriptName[] = "join.sh";

// The whole script for a source file name split into pieces 1..lastPiece.
std::string BuildJoinScriptText(const std::string& sourceFileName, uint64_t lastPiece);

// Writes join.sh beside the pieces, executable. False, after an error box,
// when it could not be written whole.
bool WriteJoinScript(const SplitRequest& request, uint64_t lastPiece, FileHandle source, JobReport& report);

#endif
