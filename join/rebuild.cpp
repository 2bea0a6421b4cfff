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

namespace {

// The bytes a sound row's file has.
uint64_t RowFileBytes(const CodedSet& set, uint32_t row) {
  return row < set.dataCount ? set.sizes[row] : RecoveryHeaderBytes(set.dataCount) + set.pieceLength;
}

// Where each data row starts in the file the set re-creates.
std::vector<uint64_t> RowOffsets(const CodedSet& set) {
  std::vector<uint64_t> offsets;
  uint64_t at = 0;
  for (uint64_t size : set.sizes) {
    offsets.push_back(at);
    at += size;
  }
  return offsets;
}

// The first N sound rows, data rows first: read as they are, no
// arithmetic for those columns.
std::vector<uint32_t> Survivors(const CodedSet& set) {
  std::vector<uint32_t> present;
  for (uint32_t row = 0; row < set.sound.size() && present.size() < set.dataCount; ++row) {
    if (set.sound[row]) present.push_back(row);
  }
  return present;
}

// A survivor taken as sound from its look-up alone turned out not to be.
bool FoundDamaged(CodedSet* set, uint32_t row, bool* survivorsSound) {
  set->sound[row] = false;
  *survivorsSound = false;
  return true;
}

// Opens the survivors at their rows' first bytes. For the whole output
// they are still to be checked: each one's stamp is taken, one that is not
// what its look-up said is found damaged, and the data rows are copied to
// their places.
bool OpenSurvivors(CodedSet* set, const std::vector<uint32_t>& present, const WholeOutput* whole,
                   FileSlot* files, std::vector<PassInput>* in, bool* survivorsSound, StopReason* stop) {
  const std::vector<uint64_t> offsets = RowOffsets(*set);
  const bool checking = whole != nullptr;
  for (size_t k = 0; k < present.size(); ++k) {
    const uint32_t row = present[k];
    const std::string path = RowPath(*set, row);
    bool notRegular = false;
    RecoveryHeader header;
    SystemError error = OpenRegularFile(path, files[k].Receive(), &notRegular);
    if (error != kNoError && checking) return FoundDamaged(set, row, survivorsSound);
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kOpen, path, error);
    if (checking && (GetFileStamp(files[k].Get(), &set->stamps[row]) != kNoError ||
                     set->stamps[row].size != RowFileBytes(*set, row))) {
      return FoundDamaged(set, row, survivorsSound);
    }
    const bool recovery = row >= set->dataCount;
    if (recovery && checking && !ReadHeaderOf(*set, row - set->dataCount + 1, files[k].Get(), &header)) {
      return FoundDamaged(set, row, survivorsSound);
    }
    if (recovery && !checking && !ReadRecoveryHeader(files[k].Get(), &header)) {
      *stop = StopReason{StopKind::kPieceChanged, path};
      return false;
    }
    // A data row read goes to its place in the whole output too.
    const FileHandle copy = whole != nullptr && !recovery ? whole->file : FileHandle();
    in->push_back(PassInput{files[k].Get(), recovery ? set->pieceLength : set->sizes[row], copy,
                            recovery ? 0 : offsets[row]});
  }
  return true;
}

// Where the rows rebuilt go: their places in the whole output; or new
// files at paths, each with its header for a recovery row (its bytes go
// to `prefixes` too).
bool CreateRebuilt(const CodedSet& set, const std::vector<uint32_t>& rows, const std::vector<std::string>& paths,
                   const WholeOutput* whole, NewFiles& made, std::vector<PassOutput>* out,
                   std::vector<std::string>* prefixes, StopReason* stop) {
  if (whole != nullptr) {
    const std::vector<uint64_t> offsets = RowOffsets(set);
    for (uint32_t row : rows) out->push_back(PassOutput{whole->file, set.sizes[row], true, offsets[row]});
    return true;
  }
  made.files.reset(new FileSlot[rows.size()]);
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
    prefixes->push_back(recovery ? FormatRecoveryHeader(header) : std::string());
    SystemError error = CreateNewFile(paths[k], made.files[k].Receive());
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kCreate, RowPath(set, rows[k]), error);
    made.paths.push_back(paths[k]);
    error = WriteAll(made.files[k].Get(), prefixes->back().data(), prefixes->back().size());
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, rows[k]), error);
    out->push_back(PassOutput{made.files[k].Get(), recovery ? set.pieceLength : set.sizes[rows[k]], false, 0});
  }
  return true;
}

bool PassStops(const CodedSet& set, const PassOutcome& outcome, const std::vector<uint32_t>& present,
               const std::vector<uint32_t>& rows, const WholeOutput* whole, StopReason* stop) {
  switch (outcome.end) {
    case PassEnd::kDone: return true;
    case PassEnd::kStopped: *stop = StopReason{StopKind::kInterrupted, RowPath(set, rows[0])}; return false;
    case PassEnd::kReadFailed:
      return Fail(stop, Role::kPiece, Operation::kRead, RowPath(set, present[outcome.at]), outcome.code);
    case PassEnd::kEndedEarly: *stop = StopReason{StopKind::kPieceChanged, RowPath(set, present[outcome.at])}; return false;
    case PassEnd::kCopyFailed:  // only ever into the whole file
    case PassEnd::kWriteFailed:
      if (whole != nullptr) return Fail(stop, Role::kOutput, Operation::kWrite, whole->path, outcome.code);
      return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, rows[outcome.at]), outcome.code);
    case PassEnd::kCodeFailed: return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, rows[outcome.at]), kNoError);
  }
  return true;
}

// The digest the set holds for a row: a recovery row's only where the
// manifest is there.
const Sha256Digest* DigestOfRow(const CodedSet& set, uint32_t row) {
  if (row < set.dataCount) return &set.digests[row];
  return set.recoveryDigests.empty() ? nullptr : &set.recoveryDigests[row - set.dataCount];
}

// The data rows of `present`, which come before its recovery rows.
size_t DataRowsIn(const std::vector<uint32_t>& present, uint32_t dataCount) {
  return static_cast<size_t>(std::count_if(present.begin(), present.end(), [&](uint32_t row) { return row < dataCount; }));
}

// The data survivors hashed in the pass against the set's digests.
void CheckSurvivors(CodedSet* set, const std::vector<uint32_t>& present, const std::vector<Sha256Digest>& digests,
                    bool* survivorsSound) {
  for (size_t k = 0; k < digests.size(); ++k) {
    if (digests[k] != set->digests[present[k]]) FoundDamaged(set, present[k], survivorsSound);
  }
}

bool RowsMatch(const CodedSet& set, const std::vector<uint32_t>& rows, const std::vector<Sha256Digest>& digests) {
  for (size_t k = 0; k < rows.size(); ++k) {
    const Sha256Digest* expected = DigestOfRow(set, rows[k]);
    if (expected != nullptr && digests[k] != *expected) return false;
  }
  return true;
}

// A column done, as bytes of the whole output: every data row is written
// up to `through`.
struct WholeProgress {
  const CodedSet* set;
  const WholeOutput* whole;
};

void TellWhole(uint64_t through, void* context) {
  const WholeProgress& progress = *static_cast<const WholeProgress*>(context);
  uint64_t bytes = 0;
  for (uint64_t size : progress.set->sizes) bytes += std::min(size, through);
  progress.whole->tell(bytes, progress.whole->context);
}

// The rows rebuilt checked against the set's digests; new files kept, and
// their identities in *ids.
bool KeepRebuilt(const CodedSet& set, const std::vector<uint32_t>& rows, const std::vector<Sha256Digest>& digests,
                 NewFiles& made, std::vector<FileIdentity>* ids, StopReason* stop) {
  ids->assign(rows.size(), FileIdentity());
  for (size_t k = 0; k < rows.size(); ++k) {
    const uint32_t row = rows[k];
    // A survivor that was damaged in a way no check saw gives other bytes:
    // nothing rebuilt is used unless it is the piece the set describes.
    const Sha256Digest* expected = DigestOfRow(set, row);
    if (expected != nullptr && digests[k] != *expected) {
      *stop = StopReason{StopKind::kPieceChecksum, RowPath(set, row), kNoError, set.manifestPath};
      return false;
    }
    if (!made.files) continue;
    SystemError error = GetOpenIdentity(made.files[k].Get(), &(*ids)[k]);
    if (error == kNoError) error = made.files[k].Release();
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kWrite, RowPath(set, row), error);
  }
  made.kept = true;
  return true;
}

// Rebuilds the rows from the first N sound rows: into new files at paths,
// or, with `whole`, into the whole output, checking the survivors.
bool Rebuild(CodedSet* set, const std::vector<uint32_t>& rows, const std::vector<std::string>& paths,
             const WholeOutput* whole, std::vector<FileIdentity>* ids, bool* survivorsSound, StopReason* stop) {
  *survivorsSound = true;
  RecoveryCode code;
  code.Init(set->dataCount, set->recoveryCount);
  RebuildContext context{&code, Survivors(*set), rows};
  if (context.present.size() < set->dataCount) {
    *stop = StopReason{StopKind::kTooManyLost, RowNames(*set, LostRows(*set, true)),
                       static_cast<SystemError>(RebuildableCount(*set))};
    return false;
  }
  std::unique_ptr<FileSlot[]> inputs(new FileSlot[set->dataCount]);
  std::vector<PassInput> in;
  PassWork work;
  // Survivors copied to the output are hashed; a recovery row shows its
  // damage in the rows it rebuilds.
  if (whole != nullptr) work.hashedInputs = DataRowsIn(context.present, set->dataCount);
  if (!OpenSurvivors(set, context.present, whole, inputs.get(), &in, survivorsSound, stop)) {
    return false;
  }
  if (!*survivorsSound) return true;
  NewFiles made;
  std::vector<PassOutput> out;
  if (!CreateRebuilt(*set, rows, paths, whole, made, &out, &work.outputPrefixes, stop)) return false;
  WholeProgress progress{set, whole};
  if (whole != nullptr && whole->tell != nullptr) {
    work.tell = TellWhole;
    work.tellContext = &progress;
  }
  const PassOutcome outcome = RunColumnPass(set->pieceLength, in, out, RebuildColumn, &context, &work);
  // A survivor not read to its end is lost, as the whole check would find.
  const bool unread = outcome.end == PassEnd::kReadFailed || outcome.end == PassEnd::kEndedEarly;
  if (whole != nullptr && unread) return FoundDamaged(set, context.present[outcome.at], survivorsSound);
  if (!PassStops(*set, outcome, context.present, rows, whole, stop)) return false;
  if (whole != nullptr) CheckSurvivors(set, context.present, work.inputDigests, survivorsSound);
  // There a rebuilt row unlike its digest tells of a recovery row damaged:
  // the whole check finds which.
  if (whole != nullptr && !RowsMatch(*set, rows, work.outputDigests)) *survivorsSound = false;
  return !*survivorsSound || KeepRebuilt(*set, rows, work.outputDigests, made, ids, stop);
}

}  // namespace

bool PresumeFromLookUps(CodedSet* set) {
  const uint32_t rows = set->dataCount + set->recoveryCount;
  set->sound.assign(rows, false);
  set->stamps.assign(rows, FileStamp());
  for (uint32_t row = 0; row < rows; ++row) {
    uint64_t size = 0;
    const std::string path = RowPath(*set, row);
    set->sound[row] = FindFileExact(path, &size) && size == RowFileBytes(*set, row) && IsRegularFile(path);
  }
  return std::count(set->sound.begin(), set->sound.begin() + set->dataCount, false) > 0;
}

bool RebuildRows(const CodedSet& set, const std::vector<uint32_t>& rows, const std::vector<std::string>& paths,
                 std::vector<FileIdentity>* ids, StopReason* stop) {
  // Survivors checked before: nothing of the set changes.
  CodedSet checked = set;
  bool survivorsSound = true;
  return Rebuild(&checked, rows, paths, nullptr, ids, &survivorsSound, stop);
}

bool RebuildIntoOutput(CodedSet* set, const std::vector<uint32_t>& rows, const WholeOutput& output,
                       bool* survivorsSound, StopReason* stop) {
  std::vector<FileIdentity> ids;
  return Rebuild(set, rows, std::vector<std::string>(), &output, &ids, survivorsSound, stop);
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
