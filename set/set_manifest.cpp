#include "set_manifest.h"

#include "checksum_manifest.h"
#include "naming.h"
#include "recovery_code.h"
#include "slots.h"
#include "text_format.h"

namespace {

bool Invalid(const std::string& path, StopReason* stop) {
  *stop = StopReason{StopKind::kManifestInvalid, path, kNoError};
  return false;
}

bool Fail(Operation operation, const std::string& path, SystemError code, StopReason* stop) {
  *stop = Failure(Role::kManifest, operation, path, code);
  return false;
}

// The whole file, unless it is larger than maxBytes: the size is looked at
// before the first read, and reads stop past it all the same.
bool ReadBounded(const std::string& path, uint64_t maxBytes, std::string* text, StopReason* stop) {
  FileSlot file;
  bool notRegular = false;
  SystemError error = OpenRegularFile(path, file.Receive(), &notRegular);
  // A folder, a device, a FIFO or a link that leads nowhere: never a set
  // joined without its check.
  if (notRegular || (error != kNoError && NameIsTaken(path) && !IsRegularFile(path))) {
    *stop = StopReason{StopKind::kManifestNotRegular, path, kNoError};
    return false;
  }
  if (error != kNoError) return Fail(Operation::kOpen, path, error, stop);
  FileStamp stamp;
  error = GetFileStamp(file.Get(), &stamp);
  if (error != kNoError) return Fail(Operation::kStat, path, error, stop);
  if (stamp.size > maxBytes) return Invalid(path, stop);
  char block[4096];
  for (;;) {
    size_t got = 0;
    error = ReadSome(file.Get(), block, sizeof block, &got);
    if (error != kNoError) return Fail(Operation::kRead, path, error, stop);
    if (got == 0) return true;
    text->append(block, got);
    if (text->size() > maxBytes) return Invalid(path, stop);
  }
}

}  // namespace

uint64_t ManifestByteLimit(uint64_t pieces) {
  const uint64_t recoveryRoom = pieces < kMaxCodedPieces ? kMaxCodedPieces - pieces : 0;
  return (pieces + recoveryRoom + 1) * kManifestLineBytes;
}

bool IsWholeNameOfSet(const std::string& name, const std::string& stemName) {
  std::string stem = name;
  ReplaceLastDot(stem);
  return IsPlainFileName(name, kPathSeparator == '\\') && stem == stemName;
}

bool ReadSetManifest(const std::string& path, const std::string& stemName, uint64_t maxBytes, SetManifest* manifest,
                     StopReason* stop) {
  std::string text;
  if (!ReadBounded(path, maxBytes, &text, stop)) return false;
  std::vector<ChecksumEntry> entries;
  size_t badLine = 0;
  if (!ParseChecksumManifest(text, &entries, &badLine) || entries.size() < 2) return Invalid(path, stop);
  const size_t last = entries.size() - 1;
  size_t k = 0;
  for (; k < last && entries[k].name == MakePieceName(stemName, DecimalText(k + 1)); ++k) {
    manifest->pieces.push_back(entries[k].digest);
  }
  for (size_t r = 1; k < last && entries[k].name == MakeRecoveryName(stemName, r); ++k, ++r) {
    manifest->recovery.push_back(entries[k].digest);
  }
  if (k != last || manifest->pieces.empty() || !IsWholeNameOfSet(entries[last].name, stemName)) {
    return Invalid(path, stop);
  }
  manifest->whole = entries[last].digest;
  manifest->wholeName = entries[last].name;
  return true;
}
