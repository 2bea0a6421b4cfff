#include "piece_set.h"

#include <algorithm>

#include "checksum_manifest.h"
#include "job_request.h"
#include "naming.h"
#include "new_file.h"
#include "recovery_pieces.h"
#include "set_change.h"
#include "set_manifest.h"
#include "stop_request.h"
#include "text_format.h"

PieceSet::PieceSet(const std::string& targetDir, const std::string& stem, FileHandle source, bool dryRun)
    : targetDir_(targetDir),
      stem_(stem),
      runTag_(MakeRunTag()),
      source_(source),
      dryRun_(dryRun),
      manifest_(MakeManifestName(stem)) {}

std::string PieceSet::Name(uint64_t number) const { return MakePieceName(stem_, DecimalText(number)); }

std::string PieceSet::TemporaryPath(uint64_t number) const {
  return MakeTemporaryPath(targetDir_, runTag_, DecimalText(number));
}

std::string PieceSet::ManifestTemporaryPath() const { return MakeTemporaryPath(targetDir_, runTag_, "sha256"); }

bool PieceSet::Stop(StopKind kind, uint64_t number, StopReason* stop) const {
  *stop = StopReason{kind, Name(number)};
  return false;
}

bool PieceSet::Fail(Operation operation, uint64_t number, SystemError code, StopReason* stop) const {
  *stop = Failure(Role::kPiece, operation, Name(number), code);
  return false;
}

bool PieceSet::FailManifest(Operation operation, SystemError code, StopReason* stop) const {
  *stop = Failure(Role::kManifest, operation, manifest_, code);
  return false;
}

namespace {

struct PieceSurvey {
  const PieceSet* pieces;
  std::string stemName;
  FileHandle source;
  std::map<uint64_t, FileIdentity>* found;
  uint64_t isSource = 0;  // the number of a piece name that leads to the source
  uint64_t highestRecovery = 0;  // of the recovery pieces of this name
  // At the commit, where the listing tells identities: this run's pieces
  // under their temporary names, given the indices listed.
  const std::string* runTag = nullptr;
  std::vector<FileIdentity>* fresh = nullptr;
  uint64_t freshListed = 0;
  bool freshDisagree = false;  // the first piece's listed index is not its own
};

// Whether name is one of this run's pieces under its temporary name.
bool NoteFresh(PieceSurvey& survey, const std::string& name, uint64_t index) {
  const uint64_t number = TemporaryNumberOf(name, *survey.runTag);
  if (number == 0 || number > survey.fresh->size()) return false;
  FileIdentity& identity = (*survey.fresh)[number - 1];
  if (number == 1) {
    survey.freshDisagree = index != identity.index;
  } else {
    identity.index = index;
    ++survey.freshListed;
  }
  return true;
}

void NotePiece(const std::string& name, uint64_t index, void* context) {
  PieceSurvey& survey = *static_cast<PieceSurvey*>(context);
  // At the commit most names are this run's temporary ones: asked first.
  if (survey.fresh != nullptr && NoteFresh(survey, name, index)) return;
  const uint64_t number = PieceNumberOf(name, survey.stemName);
  if (number == 0) survey.highestRecovery = std::max(survey.highestRecovery, RecoveryNumberOf(name, survey.stemName));
  FileIdentity identity;
  // Only files count: a folder at a piece's name is never moved aside.
  if (number == 0 || GetNameIdentity(survey.pieces->Name(number), &identity) != kNoError) return;
  (*survey.found)[number] = identity;
  if (survey.source.value != kNoHandle && survey.isSource == 0 && IsSameFile(survey.pieces->Name(number), survey.source)) {
    survey.isSource = number;
  }
}

}  // namespace

bool PieceSet::IdentifyPieces(std::map<uint64_t, FileIdentity>* found, bool bySource, uint64_t* highestRecovery,
                              StopReason* stop) {
  // One look at the folder instead of one for every number: a name that
  // does not exist costs a scan of the folder on some systems.
  PieceSurvey survey{this, SourceFileName(stem_), bySource ? source_ : FileHandle(), found};
  // At the commit, the same look tells this run's pieces' indices, where it can.
  const bool fresh = !bySource && listedIds_ && count_ >= 2;
  if (fresh) survey.runTag = &runTag_, survey.fresh = &freshIds_;
  SystemError error = ListFolder(targetDir_, NotePiece, &survey);
  *highestRecovery = survey.highestRecovery;
  if (error != kNoError) {
    *stop = Failure(Role::kFolder, Operation::kList, targetDir_, error);
    return false;
  }
  const bool listedAll = fresh && survey.freshListed == count_ - 1 && !survey.freshDisagree;
  if (fresh && !listedAll && !IdentifyFreshByName(stop)) return false;
  if (survey.isSource == 0) return true;
  *stop = StopReason{StopKind::kPieceIsSource, Name(survey.isSource)};
  return false;
}

bool PieceSet::IdentifyFreshByName(StopReason* stop) {
  for (uint64_t number = 2; number <= count_; ++number) {
    const uint64_t size = freshIds_[number - 1].size;
    SystemError error = GetNameIdentity(TemporaryPath(number), &freshIds_[number - 1]);
    if (error != kNoError) return Fail(Operation::kStat, number, error, stop);
    freshIds_[number - 1].size = size;
  }
  return true;
}

bool PieceSet::Survey(StopReason* stop) {
  if (dryRun_) return true;
  // Not held, the pieces are made by their paths: the same files, found more slowly.
  OpenFolder(targetDir_, folder_.Receive());
  listedIds_ = ListingTellsIdentity(targetDir_);
  uint64_t highestRecovery = 0;
  return IdentifyPieces(&surveyed_, true, &highestRecovery, stop);
}

bool PieceSet::NamesFit(uint64_t number, StopReason* stop) const {
  // The record of the set's change is as long as a name of nine digits.
  for (const std::string& path : {Name(number), TemporaryPath(number), MakeJournalName(stem_)}) {
    if (!PathFitsSystem(path)) {
      *stop = StopReason{StopKind::kNamesTooLong, path == TemporaryPath(number) ? Name(number) : path};
      return false;
    }
  }
  return true;
}

bool PieceSet::Begin(StopReason* stop) {
  const uint64_t number = count_ + 1;
  // Many small pieces fit in one block of reading: looked at for each.
  if (StopRequested()) return Stop(StopKind::kInterrupted, number, stop);
  if (number > kMaxPieceNumber) return Stop(StopKind::kTooManyPieces, number, stop);
  // A name grows only when its number gains a digit: checked then.
  uint64_t rest = number;
  while (rest % 10 == 0) rest /= 10;
  const bool newLength = rest == 1;  // 1, 10, 100, ...
  if (newLength && !NamesFit(number, stop)) return false;
  pieceBytes_ = 0;
  if (dryRun_) {
    count_ = number;
    return true;
  }
  SystemError error =
      CreateNewFileIn(folder_.Get(), targetDir_, MakeTemporaryName(runTag_, DecimalText(number)), piece_.Receive());
  if (error != kNoError) return Fail(Operation::kCreate, number, error, stop);
  count_ = number;
  return true;
}

bool PieceSet::Write(const void* bytes, size_t length, StopReason* stop) {
  pieceBytes_ += length;
  if (count_ == 1) firstBytes_ = pieceBytes_;
  if (dryRun_ || length == 0) return true;
  // The caller's bytes do not stay: hashed before the call returns.
  if (hashes_) hashes_->AddNow(bytes, length);
  SystemError error = WriteAll(piece_.Get(), bytes, length);
  return error == kNoError || Fail(Operation::kWrite, count_, error, stop);
}

bool PieceSet::Copy(FileHandle source, const std::string& sourcePath, uint64_t length, StopReason* stop) {
  const uint64_t before = copy_.bytes();
  const CopyOutcome outcome = copy_.Copy(source, dryRun_ ? FileHandle() : piece_.Get(), length);
  pieceBytes_ += copy_.bytes() - before;
  if (count_ == 1) firstBytes_ = pieceBytes_;
  switch (outcome.end) {
    case CopyEnd::kDone: return true;
    case CopyEnd::kStopped: return Stop(StopKind::kInterrupted, count_, stop);
    case CopyEnd::kWriteFailed: return Fail(Operation::kWrite, count_, outcome.code, stop);
    case CopyEnd::kReadFailed: *stop = Failure(Role::kSource, Operation::kRead, sourcePath, outcome.code); return false;
    case CopyEnd::kEndedEarly:  // cut short under us
    case CopyEnd::kReadsOn: break;
  }
  *stop = StopReason{StopKind::kSourceChanged, sourcePath};
  return false;
}

bool PieceSet::End(StopReason* stop) {
  if (recordSizes_) sizes_.push_back(pieceBytes_);
  if (!dryRun_) {
    FileIdentity id;
    SystemError error = kNoError;
    // Every piece lies in the first one's folder, on its volume; where the
    // commit's listing tells the others' indices, they are taken from it.
    if (freshIds_.empty()) {
      error = GetOpenIdentity(piece_.Get(), &id);
    } else if (listedIds_) {
      id = FileIdentity{freshIds_.front().volume, 0, pieceBytes_, false};
    } else {
      error = GetOpenIdentityBeside(piece_.Get(), freshIds_.front(), &id);
    }
    freshIds_.push_back(id);
    if (error != kNoError) return Fail(Operation::kStat, count_, error, stop);
  }
  SystemError error = piece_.Release();
  if (error != kNoError) return Fail(Operation::kWrite, count_, error, stop);
  if (!hashes_ || dryRun_) return true;
  digests_.emplace_back();
  return hashes_->Final(0, &digests_.back()) || FailManifest(Operation::kWrite, kNoError, stop);
}

void PieceSet::Reserve(uint64_t pieces) {
  // A count near the limit grows as it goes instead of asking for all at once.
  const size_t room = static_cast<size_t>(std::min<uint64_t>(pieces, uint64_t{1} << 20));
  freshIds_.reserve(room);
  if (recordSizes_) sizes_.reserve(room);
  if (hashes_) digests_.reserve(room);
}

void PieceSet::HashPieces() {
  hashes_.reset(new HashBeside(2));
  copy_.HashInto(hashes_.get());
}

bool PieceSet::WholeDigest(Sha256Digest* digest) {
  if (!wholeDone_ && (!hashes_ || !hashes_->Final(1, &whole_))) return false;
  wholeDone_ = true;
  *digest = whole_;
  return true;
}

void PieceSet::AddRecovery(const std::vector<Sha256Digest>& digests) {
  recovery_ = digests;
  for (uint64_t j = 1; j <= digests.size(); ++j) beside_.push_back(RecoveryWhat(j));
}

bool PieceSet::WriteManifest(const std::string& wholeName, StopReason* stop) {
  if (!hashes_ || dryRun_) return true;
  std::vector<ChecksumEntry> entries;
  for (uint64_t number = 1; number <= count_; ++number) {
    entries.push_back(ChecksumEntry{digests_[number - 1], SourceFileName(Name(number))});
  }
  for (uint64_t number = 1; number <= recovery_.size(); ++number) {
    entries.push_back(ChecksumEntry{recovery_[number - 1], MakeRecoveryName(SourceFileName(stem_), number)});
  }
  entries.push_back(ChecksumEntry{Sha256Digest(), wholeName});
  if (!WholeDigest(&entries.back().digest)) return FailManifest(Operation::kWrite, kNoError, stop);
  SystemError error = WriteNewFile(ManifestTemporaryPath(), FormatChecksumManifest(entries));
  if (error != kNoError) return FailManifest(Operation::kWrite, error, stop);
  manifestWritten_ = true;
  return true;
}

std::string PieceSet::BesideTemporaryPath(const std::string& what) const {
  return MakeTemporaryPath(targetDir_, runTag_, what);
}

bool PieceSet::Commit(StopReason* stop) {
  if (dryRun_) return true;
  std::map<uint64_t, FileIdentity> now;
  // Recovery pieces of an old set that this one has not: they would
  // describe pieces that are gone.
  uint64_t oldRecovery = 0;
  if (!IdentifyPieces(&now, false, &oldRecovery, stop)) return false;
  // A piece that is not the file the survey found was named by another run
  // meanwhile: giving ours their names would leave a set of both.
  for (const auto& piece : now) {
    const auto before = surveyed_.find(piece.first);
    if (before == surveyed_.end() || before->second != piece.second) {
      *stop = StopReason{StopKind::kOtherRunsSet, Name(piece.first)};
      return false;
    }
  }
  SetChange change(stem_, runTag_);
  change.Reserve(count_ + beside_.size() + 1);
  for (uint64_t number = 1; number <= count_; ++number) {
    ChangedName name{DecimalText(number), true, freshIds_[number - 1], false, FileIdentity()};
    // A link is replaced, never kept: Wine deletes a link's target, not the link.
    const auto old = now.find(number);
    if (old != now.end() && !old->second.link) name.old = true, name.oldId = old->second;
    change.Add(std::move(name));
  }
  // The manifest and the files beside: the new one if written, the old one
  // going with the old set either way.
  std::vector<std::pair<std::string, bool>> beside{{"sha256", manifestWritten_}};
  for (const std::string& what : beside_) beside.emplace_back(what, true);
  for (uint64_t j = recovery_.size() + 1; j <= oldRecovery; ++j) beside.emplace_back(RecoveryWhat(j), false);
  for (const auto& file : beside) {
    ChangedName name{file.first, file.second, FileIdentity(), false, FileIdentity()};
    name.old = GetNameIdentity(change.FinalPath(name), &name.oldId) == kNoError && !name.oldId.link;
    const std::string temporary = change.TemporaryPath(file.first);
    SystemError error = name.fresh ? GetNameIdentity(temporary, &name.freshId) : kNoError;
    if (error != kNoError) {
      *stop = Failure(RoleOfBeside(file.first), Operation::kStat, temporary, error);
      return false;
    }
    if (name.fresh || name.old) change.Add(std::move(name));
  }
  if (!change.Commit(stop)) return false;
  committed_ = count_;
  manifestWritten_ = false;
  beside_.clear();
  return true;
}

void PieceSet::Discard() {
  piece_.Release();
  if (dryRun_) return;
  for (uint64_t number = committed_ + 1; number <= count_; ++number) RemoveFile(TemporaryPath(number));
  count_ = committed_;
  if (manifestWritten_) RemoveFile(ManifestTemporaryPath());
  manifestWritten_ = false;
  for (const std::string& what : beside_) RemoveFile(BesideTemporaryPath(what));
  beside_.clear();
}
