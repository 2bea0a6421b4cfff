// The piece-naming scheme: how a source path and a target directory give
// piece names, and how a first piece gives back the name to re-create.
// Pure string work; `separator` is the system's path separator.
#ifndef DORVENAL_NAMING_H
#define DORVENAL_NAMING_H

#include <string>

#include "platform.h"

// The last dot of the text becomes an underscore; no dot, no change.
void ReplaceLastDot(std::string& text);

// The last underscore becomes a dot; none, no change.
std::string RestoreFileName(const std::string& stemName);

// Whether a name may be a file's own in a folder: not empty, "." or "..",
// no separator; with windowsRules (a name Windows must open) also no ":",
// which names a stream of another file, and no device name (CON, AUX.1).
bool IsPlainFileName(const std::string& name, bool windowsRules);

// The part of a path after its last separator; the whole path without one.
std::string SourceFileName(const std::string& path, char separator = kPathSeparator);

// dir, a separator unless dir already ends in one, then name. The
// directory text itself is never altered.
std::string JoinPath(const std::string& dir, const std::string& name, char separator = kPathSeparator);

// Target directory + separator + source file name with its last dot made
// an underscore: D:\out and C:\data\report.doc give D:\out\report_doc.
std::string BuildPieceStem(const std::string& sourcePath, const std::string& targetDir,
                           char separator = kPathSeparator);

// stem + "." + number text.
std::string MakePieceName(const std::string& stem, const std::string& pieceNumberText);
// "r1", "r2", ...: a recovery piece's part of its name (STEM.r1).
std::string RecoveryWhat(uint64_t number);
// The name of a recovery piece: stem + ".r" + its number.
std::string MakeRecoveryName(const std::string& stem, uint64_t number);

// The set's checksum manifest beside its pieces: stem + ".sha256".
std::string MakeManifestName(const std::string& stem);

// The record of an unfinished change of the set beside its pieces: stem +
// ".dvjournal". JOIN.BAT and join.sh refuse while it exists.
std::string MakeJournalName(const std::string& stem);

// The number of a piece of the set named stemName whose file name this is
// (".1" to ".999999999", written as a split writes them), or 0. Letters
// match in any case where the system's names do (Windows).
uint64_t PieceNumberOf(const std::string& fileName, const std::string& stemName);

// A tag of this run's own for the names of its temporary files: two runs
// into one folder never share one, even in one process.
std::string MakeRunTag();

// Where a file of this run is written until it is whole: in dir, the tag,
// a dot, `what` (a piece number, "out", "bat", ...) and ".dvtmp". Short,
// so that the temporary name costs no length the final name could use;
// such names never count as pieces.
std::string MakeTemporaryPath(const std::string& dir, const std::string& runTag, const std::string& what,
                              char separator = kPathSeparator);
// The same name without its folder.
std::string MakeTemporaryName(const std::string& runTag, const std::string& what);
// The piece number of such a name of this run's, or 0 for any other name.
uint64_t TemporaryNumberOf(const std::string& name, const std::string& runTag);

// Where a run keeps a file of the set it replaces until the new set has
// its names: as MakeTemporaryPath, but ".dvkeep", which nobody may delete.
std::string MakeKeptPath(const std::string& dir, const std::string& runTag, const std::string& what,
                         char separator = kPathSeparator);

// Whether a path may name a first piece: it ends in ".1".
bool IsFirstPiecePath(const std::string& path);

// The join's view of a ".1" path: the directory up to and including its
// last separator (empty without one), and the stem name before ".1".
struct PieceSetName {
  std::string pieceDir;
  std::string stemName;
};
PieceSetName SplitFirstPiecePath(const std::string& firstPiecePath, char separator = kPathSeparator);

#endif
