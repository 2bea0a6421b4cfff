// A set with recovery pieces, as join, repair and verify read it: its
// description (from the manifest, or a recovery piece's header when the
// manifest is gone), which of its pieces are sound, and the rebuilding of
// the others in column passes of bounded memory.
#ifndef DORVENAL_REBUILD_H
#define DORVENAL_REBUILD_H

#include <cstdint>
#include <string>
#include <vector>

#include "job_result.h"
#include "platform.h"
#include "sha256.h"

struct CodedSet {
  std::string stem;      // the pieces' path without ".1"
  std::string manifestPath;  // empty when the set is described by a recovery header
  uint32_t dataCount = 0;
  uint32_t recoveryCount = 0;
  uint64_t pieceLength = 0;
  std::vector<uint64_t> sizes;            // of data pieces 1 .. N
  std::vector<Sha256Digest> digests;      // of data pieces 1 .. N
  std::vector<Sha256Digest> recoveryDigests;  // whole files r1 .. rK; empty without a manifest
  Sha256Digest whole{};
  std::string wholeName;  // the file a join re-creates; empty without a manifest
  // Sound recovery headers describe another set than the manifest does:
  // the manifest is damaged, or they belong elsewhere.
  bool headersDisagree = false;
  // After CheckCodedSet, or as presumed by PresumeFromLookUps: by row
  // (data 0 .. N-1, then recovery N .. N+K-1).
  std::vector<bool> sound;
  std::vector<FileStamp> stamps;  // of the sound rows, as checked
};

// Whether the set has recovery pieces (its manifest lists some, or there
// is no manifest and a recovery piece's header describes it), and if so,
// its description. A manifest that cannot be read beside recovery pieces
// is refused: without it nothing tells a damaged piece from a sound one.
bool ReadCodedSet(const std::string& pieceDir, const std::string& stemName,
                  CodedSet* set, bool* coded, StopReason* stop);

// The path of a row: STEM.k for data, STEM.rj for recovery.
std::string RowPath(const CodedSet& set, uint32_t row);

// Hashes every data piece, and the recovery pieces too when `allRows` or
// some data piece is lost; fills sound and stamps.
bool CheckCodedSet(CodedSet* set, bool allRows, StopReason* stop);

// The rows not sound, among the data rows or all of them.
std::vector<uint32_t> LostRows(const CodedSet& set, bool allRows);
// How many lost pieces the sound recovery pieces can rebuild.
uint32_t RebuildableCount(const CodedSet& set);
// kTooManyLost when the lost rows are more than that.
bool RefuseTooManyLost(const CodedSet& set, const std::vector<uint32_t>& lost, StopReason* stop);

// Rebuilds the rows into new files at paths, each checked against its
// digest before the call returns; the files' identities go to *ids. A
// stop leaves no file behind.
bool RebuildRows(const CodedSet& set, const std::vector<uint32_t>& rows, const std::vector<std::string>& paths,
                 std::vector<FileIdentity>* ids, StopReason* stop);

// Takes every row whose file has the size the set gives it (and is a
// regular file) as sound, without reading it; true when a data row is
// lost by that alone (missing, another size), for a join that rebuilds it
// with RebuildIntoOutput instead of checking the whole set first.
bool PresumeFromLookUps(CodedSet* set);

// The file a join re-creates, as RebuildIntoOutput writes it.
struct WholeOutput {
  FileHandle file;
  std::string path;  // its name, for a failed write
  // Told after each column how many of its bytes are written.
  void (*tell)(uint64_t bytes, void* context) = nullptr;
  void* context = nullptr;
};
// Writes the whole output in one pass over survivors presumed sound: each
// data row read goes to its place, and is hashed; the lost data rows
// (`rows`) are rebuilt at theirs, and checked against their digests. A
// data survivor that is not what the set describes is no longer sound,
// and where one is, or a rebuilt row does not match (a recovery row is
// damaged), *survivorsSound is false (no stop): the output is then worth
// nothing, and the set is to be checked whole and rebuilt from what is
// sound.
bool RebuildIntoOutput(CodedSet* set, const std::vector<uint32_t>& rows, const WholeOutput& output,
                       bool* survivorsSound, StopReason* stop);

// The names of rows, comma-separated, for a warning or a refusal.
std::string RowNames(const CodedSet& set, const std::vector<uint32_t>& rows);

// The set a manifest (STEM.sha256) or a recovery piece (STEM.r1) belongs
// to, for a set whose first piece is lost; false for other paths.
bool StemOfSetFile(const std::string& path, std::string* stem);

#endif
