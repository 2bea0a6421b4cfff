// join.sh: a POSIX shell script that re-creates a split file with cat, for
// systems without JOIN.BAT's command interpreter.
#ifndef DORVENAL_SCRIPT_FILE_H
#define DORVENAL_SCRIPT_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "job_result.h"
#include "platform.h"

constexpr char kJoinScriptName[] = "join.sh";

// The whole script for a source file name split into pieces of these
// sizes, numbered from 1. With `checksums` (the split wrote the set's
// manifest, MakeManifestName) it checks every piece against the manifest
// with sha256sum or shasum before it writes, and says so where it cannot.
std::string BuildJoinScriptText(const std::string& sourceFileName, const std::vector<uint64_t>& pieceSizes,
                                bool checksums);

// Writes join.sh, executable, at writePath (a temporary name beside the
// pieces, which the set's commit gives its name); never one that would
// replace the source.
bool WriteJoinScript(const std::string& sourceFileName, const std::string& targetDir,
                     const std::vector<uint64_t>& pieceSizes, bool checksums, FileHandle source,
                     const std::string& writePath, StopReason* stop);

#endif
