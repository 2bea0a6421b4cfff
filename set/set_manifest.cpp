#include "set_manifest.h"

#include "checksum_manifest.h"
#include "naming.h"
#include "slots.h"
#include "text_format.h"

namespace {

bool Invalid(const std::string& path, SystemError code, StopReason* stop) {
  *stop = StopReason{StopKind::kManifestInvalid, path, code};
  return false;
}

// The whole file, unless it is larger than maxBytes.
bool ReadBounded(const std::string& path, uint64_t maxBytes, std::string* text, StopReason* stop) {
  FileSlot file;
  bool notRegular = false;
  SystemError error = OpenRegularFile(path, file.Receive(), &notRegular);
  if (error != kNoError || notRegular) return Invalid(path, error, stop);
  char block[4096];
  for (;;) {
    size_t got = 0;
    error = ReadSome(file.Get(), block, sizeof block, &got);
    if (error != kNoError) return Invalid(path, error, stop);
    if (got == 0) return true;
    text->append(block, got);
    if (text->size() > maxBytes) return Invalid(path, kNoError, stop);
  }
}

}  // namespace

bool ReadSetManifest(const std::string& path, const std::string& stemName, const std::string& restoredName,
                     uint64_t maxBytes, SetManifest* manifest, StopReason* stop) {
  std::string text;
  if (!ReadBounded(path, maxBytes, &text, stop)) return false;
  std::vector<ChecksumEntry> entries;
  size_t badLine = 0;
  if (!ParseChecksumManifest(text, &entries, &badLine) || entries.size() < 2) return Invalid(path, kNoError, stop);
  const size_t listed = entries.size() - 1;
  size_t k = 0;
  for (; k < listed && entries[k].name == MakePieceName(stemName, DecimalText(k + 1)); ++k) {
    manifest->pieces.push_back(entries[k].digest);
  }
  for (size_t j = 1; k < listed; ++k, ++j) {
    if (entries[k].name != MakePieceName(stemName, "r" + DecimalText(j))) return Invalid(path, kNoError, stop);
    manifest->recovery.push_back(entries[k].digest);
  }
  if (manifest->pieces.empty()) return Invalid(path, kNoError, stop);
  if (entries.back().name != restoredName) return Invalid(path, kNoError, stop);
  manifest->whole = entries.back().digest;
  return true;
}
