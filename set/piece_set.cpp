#include "piece_set.h"

#include "checksum_manifest.h"
#include "job_request.h"
#include "naming.h"
#include "new_file.h"
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

struct SourceSearch {
  const PieceSet* pieces;
  std::string stemName;
  FileHandle source;
  uint64_t found = 0;  // the number of a piece name that leads to the source
};

void NoteSourceAmongPieces(const std::string& name, void* context) {
  SourceSearch& search = *static_cast<SourceSearch*>(context);
  const uint64_t number = PieceNumberOf(name, search.stemName);
  if (number != 0 && search.found == 0 && IsSameFile(search.pieces->Name(number), search.source)) {
    search.found = number;
  }
}

}  // namespace

bool PieceSet::CheckNoneIsSource(StopReason* stop) const {
  if (source_.value == kNoHandle || dryRun_) return true;
  // Only a name that exists can lead to the source: one look at the folder
  // instead of one for every piece.
  SourceSearch search{this, SourceFileName(stem_), source_};
  SystemError error = ListFolder(targetDir_, NoteSourceAmongPieces, &search);
  if (error != kNoError) {
    *stop = Failure(Role::kFolder, Operation::kList, targetDir_, error);
    return false;
  }
  if (search.found == 0) return true;
  *stop = StopReason{StopKind::kPieceIsSource, Name(search.found)};
  return false;
}

bool PieceSet::NamesFit(uint64_t number) const {
  return PathFitsSystem(Name(number)) && PathFitsSystem(TemporaryPath(number));
}

bool PieceSet::Begin(StopReason* stop) {
  const uint64_t number = count_ + 1;
  // Many small pieces fit in one block of reading: looked at for each.
  if (StopRequested()) return Stop(StopKind::kInterrupted, number, stop);
  if (number > kMaxPieceNumber) return Stop(StopKind::kTooManyPieces, number, stop);
  // A name grows only when its number gains a digit: checked then.
  const bool newLength = number == 1 || DecimalText(number).find_first_not_of('0', 1) == std::string::npos;
  if (newLength && !NamesFit(number)) return Stop(StopKind::kNamesTooLong, number, stop);
  pieceBytes_ = 0;
  if (dryRun_) {
    count_ = number;
    return true;
  }
  SystemError error = CreateNewFile(TemporaryPath(number), piece_.Receive());
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
  SystemError error = piece_.Release();
  if (error != kNoError) return Fail(Operation::kWrite, count_, error, stop);
  if (!hashes_ || dryRun_) return true;
  digests_.emplace_back();
  return hashes_->Final(0, &digests_.back()) || FailManifest(Operation::kWrite, kNoError, stop);
}

void PieceSet::HashPieces() {
  hashes_.reset(new HashBeside(2));
  copy_.HashInto(hashes_.get());
}

bool PieceSet::WriteManifest(const std::string& restoredName, StopReason* stop) {
  if (!hashes_ || dryRun_) return true;
  std::vector<ChecksumEntry> entries;
  for (uint64_t number = 1; number <= count_; ++number) {
    entries.push_back(ChecksumEntry{digests_[number - 1], SourceFileName(Name(number))});
  }
  entries.push_back(ChecksumEntry{Sha256Digest(), restoredName});
  if (!hashes_->Final(1, &entries.back().digest)) return FailManifest(Operation::kWrite, kNoError, stop);
  SystemError error = WriteNewFile(ManifestTemporaryPath(), FormatChecksumManifest(entries));
  if (error != kNoError) return FailManifest(Operation::kWrite, error, stop);
  manifestWritten_ = true;
  return true;
}

bool PieceSet::Commit(StopReason* stop) {
  if (dryRun_) return true;
  // An old manifest of the set describes the pieces being replaced: it
  // goes first, so that no stop on the way leaves it beside new pieces.
  uint64_t size = 0;
  if (committed_ == 0 && FindFileExact(manifest_, &size)) {
    SystemError error = RemoveFile(manifest_);
    if (error != kNoError) return FailManifest(Operation::kRemove, error, stop);
  }
  while (committed_ < count_) {
    const uint64_t number = committed_ + 1;
    SystemError error = RenameReplacing(TemporaryPath(number), Name(number));
    if (error != kNoError) return Fail(Operation::kRename, number, error, stop);
    committed_ = number;
  }
  if (!manifestWritten_) return true;
  SystemError error = RenameReplacing(ManifestTemporaryPath(), manifest_);
  if (error != kNoError) return FailManifest(Operation::kRename, error, stop);
  manifestWritten_ = false;
  return true;
}

void PieceSet::Discard() {
  piece_.Release();
  if (dryRun_) return;
  for (uint64_t number = committed_ + 1; number <= count_; ++number) RemoveFile(TemporaryPath(number));
  count_ = committed_;
  if (manifestWritten_) RemoveFile(ManifestTemporaryPath());
  manifestWritten_ = false;
}
