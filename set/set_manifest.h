// The checksum manifest beside a set's pieces (STEM.sha256), read and held
// against the set: shared by the join and by the check without joining.
#ifndef DORVENAL_SET_MANIFEST_H
#define DORVENAL_SET_MANIFEST_H

#include <cstdint>
#include <string>
#include <vector>

#include "job_result.h"
#include "sha256.h"

// In order: STEM.1 .. STEM.N, STEM.r1 .. STEM.rK (K >= 0), then the file a
// join re-creates under the source's own name.
struct SetManifest {
  std::vector<Sha256Digest> pieces;    // of pieces 1, 2, ...
  std::vector<Sha256Digest> recovery;  // of recovery pieces r1, r2, ...
  Sha256Digest whole;                  // of the file a join re-creates
  std::string wholeName;               // its name
};

// The longest line a manifest of ours holds, with room to spare: 64 hex
// digits, a name of up to 255 bytes escaped to twice that, marks, CR LF.
constexpr uint64_t kManifestLineBytes = 1024;

// The most bytes a manifest of a set of this many data pieces may hold: a
// line for each, for as many recovery pieces as the code allows beside
// them, and for the whole file. Every reader (join.sh and JOIN.BAT too)
// refuses a larger one before reading it.
uint64_t ManifestByteLimit(uint64_t pieces);

// Whether the manifest's last line may name the file a join of the set
// stemName re-creates: a plain file name whose last dot made an underscore
// gives the stem.
bool IsWholeNameOfSet(const std::string& name, const std::string& stemName);

// Reads the manifest at path, of at most maxBytes, which must be a regular
// file listing exactly the pieces stemName.1, stemName.2, ..., the recovery
// pieces, and then a name IsWholeNameOfSet accepts. Otherwise false with
// kManifestNotRegular, a failure to open or read it, or kManifestInvalid
// (path: the manifest).
bool ReadSetManifest(const std::string& path, const std::string& stemName, uint64_t maxBytes, SetManifest* manifest,
                     StopReason* stop);

#endif
