// JOIN.BAT: a script that re-creates a split file with COPY /B.
#ifndef DORVENAL_BATCH_FILE_H
#define DORVENAL_BATCH_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "job_result.h"
#include "platform.h"

constexpr char kJoinBatchName[] = "JOIN.BAT";

// The code page JOIN.BAT is written in for a request's batchCodePage.
uint32_t BatchCodePage(uint32_t requested);

// Whether JOIN.BAT can re-create a file so called: Windows must allow the
// name (IsWindowsFileName) and the code page must spell it. Else the stop
// names the name (and the code page).
bool CheckBatchName(const std::string& sourceFileName, uint32_t codePage, StopReason* stop);

// Text in codePage: ASCII text as it is, other text converted; false when
// the code page cannot spell it.
bool ConvertBatchText(const std::string& text, uint32_t codePage, std::string* converted);

// The whole script for a source file name split into pieces of these
// sizes, numbered from 1, in the code page the name comes in. Where
// cmd.exe runs it, it checks every piece's size before the first COPY and
// the result of each COPY. With `checksums` (the split wrote the set's
// manifest, MakeManifestName) it checks every piece against the manifest
// with certutil before the first COPY where cmd.exe and certutil can, and
// says that it did not check where they cannot.
std::string BuildJoinBatchText(const std::string& sourceFileName, const std::vector<uint64_t>& pieceSizes,
                               bool checksums);

// Writes JOIN.BAT for pieces of these sizes, in codePage, at writePath (a
// temporary name in the target directory, which the set's commit gives its
// name), of a file whose name CheckBatchName accepted. `source` is the open
// source file (none for a stream), which the batch file must never replace.
bool WriteJoinBatch(const std::string& sourceFileName, const std::string& targetDir,
                    const std::vector<uint64_t>& pieceSizes, uint32_t codePage, bool checksums, FileHandle source,
                    const std::string& writePath,
                    StopReason* stop);

#endif
