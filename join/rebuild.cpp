#include "rebuild.h"

#include <algorithm>
#include <memory>

#include "naming.h"
#include "recovery_code.h"
#include "recovery_pieces.h"
#include "set_manifest.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

// Bytes hashed at a time when a piece is checked.
constexpr size_t kCheckBlock = size_t{1} << 20;

bool Fail(StopReason* stop, Role role, Operation operation, const std::string& path, SystemError code) {
  *stop = Failure(role, operation, path, code);
  return false;
}

bool SameDescription(const RecoveryHeader& header, const CodedSet& set) {
  return header.dataCount == set.dataCount && header.recoveryCount == set.recoveryCount &&
         header.digests == set.digests && header.whole == set.whole;
}

// The header of recovery piece j (from 1) when it describes the set.
bool ReadHeaderOf(const CodedSet& set, uint32_t j, FileHandle file, RecoveryHeader* header) {
  return ReadRecoveryHeader(file, header) && header->index == j && SameDescription(*header, set) &&
         header->sizes == set.sizes;
}

// Takes the description from the first sound header (the only one without
// a manifest), and the sizes from it in any case.
void DescribeFromHeaders(CodedSet* set, uint64_t highest) {
  const uint64_t last = std::max<uint64_t>(highest, set->recoveryCount);
  for (uint64_t j = 1; j <= last; ++j) {
    FileSlot file;
    bool notRegular = false;
    RecoveryHeader header;
    if (OpenRegularFile(MakeRecoveryName(set->stem, j), file.Receive(), &notRegular) != kNoError ||
        !ReadRecoveryHeader(file.Get(), &header) || header.index != j) {
      continue;
    }
    if (!set->manifestPath.empty() && !SameDescription(header, *set)) {
      set->headersDisagree = true;
      continue;
    }
    set->headersDisagree = false;
    set->dataCount = header.dataCount;
    set->recoveryCount = header.recoveryCount;
    set->digests = header.digests;
    set->whole = header.whole;
    set->sizes = header.sizes;
    set->pieceLength = header.pieceLength;
    return;
  }
}

// With no sound header, the sizes the pieces have: enough to join a set
// whose data pieces are all sound.
void SizesFromPieces(CodedSet* set) {
  set->sizes.assign(set->dataCount, 0);
  for (uint32_t k = 0; k < set->dataCount; ++k) {
    FindFileExact(RowPath(*set, k), &set->sizes[k]);
    set->pieceLength = std::max(set->pieceLength, set->sizes[k]);
  }
}

// Hashes `bytes` bytes from the file's position into hash.
bool HashBytes(FileHandle file, uint64_t bytes, Sha256& hash, std::vector<unsigned char>& block) {
  while (bytes > 0) {
    size_t got = 0;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(block.size(), bytes));
    if (ReadFull(file, block.data(), wanted, &got) != kNoError || got != wanted) return false;
    hash.Update(block.data(), got);
    bytes -= got;
  }
  size_t more = 0;
  return ReadSome(file, block.data(), 1, &more) == kNoError && more == 0;
}

// Whether row is its file as the set describes it, byte for byte where
// the set holds its digest.
bool RowIsSound(CodedSet* set, uint32_t row, std::vector<unsigned char>& block) {
  FileSlot file;
  bool notRegular = false;
  FileStamp& stamp = set->stamps[row];
  if (OpenRegularFile(RowPath(*set, row), file.Receive(), &notRegular) != kNoError ||
      GetFileStamp(file.Get(), &stamp) != kNoError) {
    return false;
  }
  Sha256 hash;
  Sha256Digest digest{};
  if (row < set->dataCount) {
    return stamp.size == set->sizes[row] && HashBytes(file.Get(), stamp.size, hash, block) && hash.Final(&digest) &&
           digest == set->digests[row];
  }
  const uint32_t j = row - set->dataCount + 1;
  RecoveryHeader header;
  if (!ReadHeaderOf(*set, j, file.Get(), &header)) return false;
  if (stamp.size != RecoveryHeaderBytes(set->dataCount) + set->pieceLength) return false;
  // Without a manifest only the header can be checked; a damaged row then
  // shows as a rebuilt piece that does not match its digest.
  if (set->recoveryDigests.empty()) return true;
  const std::string prefix = FormatRecoveryHeader(header);
  hash.Update(prefix.data(), prefix.size());
  return HashBytes(file.Get(), set->pieceLength, hash, block) && hash.Final(&digest) &&
         digest == set->recoveryDigests[j - 1];
}

struct RebuildContext {
  const RecoveryCode* code;
  std::vector<uint32_t> present;
  std::vector<uint32_t> lost;
};

bool RebuildColumn(const void* context, size_t length, const unsigned char* const* in, unsigned char* const* out) {
  const RebuildContext& rebuild = *static_cast<const RebuildContext*>(context);
  return rebuild.code->Rebuild(length, rebuild.present, in, rebuild.lost, out);
}

}  // namespace

std::string RowPath(const CodedSet& set, uint32_t row) {
  if (row < set.dataCount) return MakePieceName(set.stem, DecimalText(row + 1));
  return MakeRecoveryName(set.stem, row - set.dataCount + 1);
}

bool ReadCodedSet(const std::string& pieceDir, const std::string& stemName,
                  CodedSet* set, bool* coded, StopReason* stop) {
  *coded = false;
  *set = CodedSet();
  set->stem = pieceDir + stemName;
  uint64_t highest = 0;
  SystemError error = FindRecoveryPieces(pieceDir, stemName, &highest);
  if (error != kNoError) return Fail(stop, Role::kFolder, Operation::kList, pieceDir, error);
  const std::string manifestPath = MakeManifestName(set->stem);
  const uint64_t maxBytes = (kMaxCodedPieces + 1) * kManifestLineBytes;
  if (NameIsTaken(manifestPath)) {
    // Without recovery pieces: a large set's manifest, or one the join
    // refuses in its own words.
    SetManifest manifest;
    if (!ReadSetManifest(manifestPath, stemName, maxBytes, &manifest, stop)) return highest == 0;
    if (manifest.recovery.empty()) return true;
    if (!RecoveryCode::Fits(manifest.pieces.size(), manifest.recovery.size())) {
      *stop = StopReason{StopKind::kManifestInvalid, manifestPath};
      return false;
    }
    set->manifestPath = manifestPath;
    set->dataCount = static_cast<uint32_t>(manifest.pieces.size());
    set->recoveryCount = static_cast<uint32_t>(manifest.recovery.size());
    set->digests = manifest.pieces;
    set->recoveryDigests = manifest.recovery;
    set->whole = manifest.whole;
    set->wholeName = manifest.wholeName;
  } else if (highest == 0) {
    return true;
  }
  DescribeFromHeaders(set, highest);
  if (set->dataCount == 0) return true;  // no manifest, no sound header: nothing to rebuild from
  if (set->sizes.empty()) SizesFromPieces(set);
  *coded = true;
  return true;
}

namespace {

// One of the two halves of the rows a check hashes, each on a core of its own.
struct CheckWork {
  CodedSet* set;
  std::vector<uint32_t> rows;
  std::vector<char> sound;
};

void CheckRows(void* context) {
  CheckWork& work = *static_cast<CheckWork*>(context);
  std::vector<unsigned char> block(kCheckBlock);
  for (uint32_t row : work.rows) work.sound.push_back(!StopRequested() && RowIsSound(work.set, row, block));
}

void CheckRowsFromTo(CodedSet* set, uint32_t from, uint32_t to) {
  CheckWork halves[2] = {{set, {}, {}}, {set, {}, {}}};
  for (uint32_t row = from; row < to; ++row) halves[row % 2].rows.push_back(row);
  BesideTask task;
  if (!StartBeside(CheckRows, &halves[1], &task)) CheckRows(&halves[1]);
  CheckRows(&halves[0]);
  WaitBeside(&task);
  for (const CheckWork& half : halves) {
    for (size_t k = 0; k < half.rows.size(); ++k) set->sound[half.rows[k]] = half.sound[k] != 0;
  }
}

}  // namespace

bool CheckCodedSet(CodedSet* set, bool allRows, StopReason* stop) {
  const uint32_t rows = set->dataCount + set->recoveryCount;
  set->sound.assign(rows, false);
  set->stamps.assign(rows, FileStamp());
  CheckRowsFromTo(set, 0, set->dataCount);
  const bool dataLost = std::count(set->sound.begin(), set->sound.begin() + set->dataCount, false) > 0;
  if (allRows || dataLost) CheckRowsFromTo(set, set->dataCount, rows);
  if (!StopRequested()) return true;
  *stop = StopReason{StopKind::kInterrupted, RowPath(*set, 0)};
  return false;
}

std::vector<uint32_t> LostRows(const CodedSet& set, bool allRows) {
  std::vector<uint32_t> lost;
  const uint32_t rows = allRows ? set.dataCount + set.recoveryCount : set.dataCount;
  for (uint32_t row = 0; row < rows; ++row) {
    if (!set.sound[row]) lost.push_back(row);
  }
  return lost;
}

uint32_t RebuildableCount(const CodedSet& set) {
  return static_cast<uint32_t>(std::count(set.sound.begin() + set.dataCount, set.sound.end(), true));
}

bool RefuseTooManyLost(const CodedSet& set, const std::vector<uint32_t>& lost, StopReason* stop) {
  uint32_t lostData = 0;
  for (uint32_t row : lost) lostData += row < set.dataCount ? 1 : 0;
  if (lostData <= RebuildableCount(set)) return true;
  // The pieces disagree with the manifest and so do the recovery headers: the
  // manifest is what is damaged, and nothing can be rebuilt against it.
  if (set.headersDisagree) {
    *stop = StopReason{StopKind::kManifestInvalid, set.manifestPath};
    return false;
  }
  std::vector<uint32_t> all = LostRows(set, true);
  *stop = StopReason{StopKind::kTooManyLost, RowNames(set, all), static_cast<SystemError>(RebuildableCount(set))};
  return false;
}

std::string RowNames(const CodedSet& set, const std::vector<uint32_t>& rows) {
  std::string names;
  for (uint32_t row : rows) names += (names.empty() ? "" : ", ") + SourceFileName(RowPath(set, row));
  return names;
}

bool RebuildRows(const CodedSet& set, const std::vector<uint32_t>& rows, const std::vector<std::string>& paths,
                 std::vector<FileIdentity>* ids, StopReason* stop) {
  RecoveryCode code;
  code.Init(set.dataCount, set.recoveryCount);
  RebuildContext context{&code, {}, rows};
  // Data rows first: read as they are, no arithmetic for those columns.
  for (uint32_t row = 0; row < set.sound.size() && context.present.size() < set.dataCount; ++row) {
    if (set.sound[row]) context.present.push_back(row);
  }
  if (context.present.size() < set.dataCount) {
    *stop = StopReason{StopKind::kTooManyLost, RowNames(set, LostRows(set, true)),
                       static_cast<SystemError>(RebuildableCount(set))};
    return false;
  }
  std::unique_ptr<FileSlot[]> inputs(new FileSlot[set.dataCount]);
  std::vector<PassInput> in;
  for (uint32_t k = 0; k < set.dataCount; ++k) {
    const uint32_t row = context.present[k];
    bool notRegular = false;
    RecoveryHeader header;
    SystemError error = OpenRegularFile(RowPath(set, row), inputs[k].Receive(), &notRegular);
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kOpen, RowPath(set, row), error);
    if (row >= set.dataCount && !ReadRecoveryHeader(inputs[k].Get(), &header)) {
      *stop = StopReason{StopKind::kPieceChanged, RowPath(set, row)};
      return false;
    }
    in.push_back(PassInput{inputs[k].Get(), row < set.dataCount ? set.sizes[row] : set.pieceLength});
  }
  NewFiles made;
  made.files.reset(new FileSlot[rows.size()]);
  std::vector<PassOutput> out;
  std::vector<std::string> prefixes;
  RecoveryHeader header;
  header.dataCount = set.dataCount;
  header.recoveryCount = set.recoveryCount;
  header.pieceLength = set.pieceLength;
  header.sizes = set.sizes;
  header.digests = set.digests;
  header.whole = set.whole;
  for (size_t k = 0; k < rows.size(); ++k) {
    const bool recovery = rows[k] >= set.dataCount;
    header.index = rows[k] - set.dataCount + 1;
    prefixes.push_back(recovery ? FormatRecoveryHeader(header) : std::string());
    SystemError error = CreateNewFile(paths[k], made.files[k].Receive());
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kCreate, RowPath(set, rows[k]), error);
    made.paths.push_back(paths[k]);
    error = WriteAll(made.files[k].Get(), prefixes.back().data(), prefixes.back().size());
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, rows[k]), error);
    out.push_back(PassOutput{made.files[k].Get(), recovery ? set.pieceLength : set.sizes[rows[k]]});
  }
  std::vector<Sha256Digest> digests;
  const PassOutcome outcome = RunColumnPass(set.pieceLength, in, out, prefixes, RebuildColumn, &context, &digests);
  switch (outcome.end) {
    case PassEnd::kDone: break;
    case PassEnd::kStopped: *stop = StopReason{StopKind::kInterrupted, RowPath(set, rows[0])}; return false;
    case PassEnd::kReadFailed:
      return Fail(stop, Role::kPiece, Operation::kRead, RowPath(set, context.present[outcome.at]), outcome.code);
    case PassEnd::kEndedEarly: *stop = StopReason{StopKind::kPieceChanged, RowPath(set, context.present[outcome.at])}; return false;
    case PassEnd::kWriteFailed: return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, rows[outcome.at]), outcome.code);
    case PassEnd::kCodeFailed: return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, rows[outcome.at]), kNoError);
  }
  ids->assign(rows.size(), FileIdentity());
  for (size_t k = 0; k < rows.size(); ++k) {
    const uint32_t row = rows[k];
    // A survivor that was damaged in a way no check saw gives other bytes:
    // nothing rebuilt is used unless it is the piece the set describes.
    const bool known = row < set.dataCount || !set.recoveryDigests.empty();
    const Sha256Digest& expected = row < set.dataCount ? set.digests[row] : set.recoveryDigests.empty() ? digests[k] : set.recoveryDigests[row - set.dataCount];
    if (known && digests[k] != expected) {
      *stop = StopReason{StopKind::kPieceChecksum, RowPath(set, row), kNoError, set.manifestPath};
      return false;
    }
    SystemError error = GetOpenIdentity(made.files[k].Get(), &(*ids)[k]);
    if (error == kNoError) error = made.files[k].Release();
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, row), error);
  }
  made.kept = true;
  return true;
}

bool StemOfSetFile(const std::string& path, std::string* stem) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find(kPathSeparator, dot) != std::string::npos) return false;
  const std::string what = path.substr(dot + 1);
  const bool recovery = what.size() > 1 && what[0] == 'r' && what[1] != '0' &&
                        what.find_first_not_of("0123456789", 1) == std::string::npos;
  if (what != "sha256" && !recovery) return false;
  *stem = path.substr(0, dot);
  return true;
}
