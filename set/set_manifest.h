// The checksum manifest beside a set's pieces (STEM.sha256), read and held
// against the set: shared by the join and by the check without joining.
#ifndef DORVENAL_SET_MANIFEST_H
#define DORVENAL_SET_MANIFEST_H

#include <cstdint>
#include <string>
#include <vector>

#include "job_result.h"
#include "sha256.h"

struct SetManifest {
  std::vector<Sha256Digest> pieces;  // of pieces 1, 2, ...
  std::vector<Sha256Digest> recovery;  // of recovery pieces r1, r2, ...
  Sha256Digest whole;                // of the file a join re-creates
};

// The longest line a manifest of ours holds, with room to spare: 64 hex
// digits, a name of up to 255 bytes escaped to twice that, marks, CR LF.
constexpr uint64_t kManifestLineBytes = 1024;

// Reads the manifest at path, of at most maxBytes, which must list exactly
// the pieces stemName.1, stemName.2, ... in order, then any recovery pieces
// stemName.r1, stemName.r2, ..., and then restoredName.
// False with kManifestInvalid (path: the manifest) otherwise.
bool ReadSetManifest(const std::string& path, const std::string& stemName, const std::string& restoredName,
                     uint64_t maxBytes, SetManifest* manifest, StopReason* stop);

#endif
