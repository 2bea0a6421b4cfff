#include "piece_set.h"

#include "checksum_manifest.h"
#include "job_request.h"
#include "naming.h"
#include "new_file.h"
#include "set_change.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

// Bytes handed to one copy or write, so that a request to stop is seen promptly.
constexpr uint64_t kCopyBlock = uint64_t{8} << 20;
// The buffer of a copy the kernel cannot do.
constexpr size_t kCopyBuffer = size_t{256} << 10;

}  // namespace

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

bool PieceSet::Fail(StopKind kind, uint64_t number, SystemError code, StopReason* stop) {
  *stop = StopReason{kind, Name(number), code};
  return false;
}

bool PieceSet::FailManifest(SystemError code, StopReason* stop) {
  *stop = StopReason{StopKind::kChecksumWrite, manifest_, code};
  return false;
}

namespace {

struct PieceSurvey {
  const PieceSet* pieces;
  std::string stemName;
  FileHandle source;
  std::map<uint64_t, FileIdentity>* found;
  uint64_t isSource = 0;  // the number of a piece name that leads to the source
};

void NotePiece(const std::string& name, void* context) {
  PieceSurvey& survey = *static_cast<PieceSurvey*>(context);
  const uint64_t number = PieceNumberOf(name, survey.stemName);
  FileIdentity identity;
  // Only files count: a folder at a piece's name is never moved aside.
  if (number == 0 || GetNameIdentity(survey.pieces->Name(number), &identity) != kNoError) return;
  (*survey.found)[number] = identity;
  if (survey.source.value != kNoHandle && survey.isSource == 0 && IsSameFile(survey.pieces->Name(number), survey.source)) {
    survey.isSource = number;
  }
}

}  // namespace

bool PieceSet::IdentifyPieces(std::map<uint64_t, FileIdentity>* found, bool bySource, StopReason* stop) const {
  // One look at the folder instead of one for every number: a name that
  // does not exist costs a scan of the folder on some systems.
  PieceSurvey survey{this, SourceFileName(stem_), bySource ? source_ : FileHandle(), found};
  SystemError error = ListFolder(targetDir_, NotePiece, &survey);
  if (error != kNoError && bySource) {
    *stop = StopReason{StopKind::kPieceCreate, Name(1), error};
    return false;
  }
  if (error != kNoError) {
    *stop = Failure(Role::kFolder, Operation::kList, targetDir_, error);
    return false;
  }
  if (survey.isSource == 0) return true;
  *stop = StopReason{StopKind::kPieceIsSource, Name(survey.isSource)};
  return false;
}

bool PieceSet::Survey(StopReason* stop) { return dryRun_ || IdentifyPieces(&surveyed_, true, stop); }

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
  if (StopRequested()) return Fail(StopKind::kInterrupted, number, kNoError, stop);
  if (number > kMaxPieceNumber) return Fail(StopKind::kTooManyPieces, number, kNoError, stop);
  // A name grows only when its number gains a digit: checked then.
  const bool newLength = number == 1 || DecimalText(number).find_first_not_of('0', 1) == std::string::npos;
  if (newLength && !NamesFit(number, stop)) return false;
  pieceBytes_ = 0;
  if (dryRun_) {
    count_ = number;
    return true;
  }
  SystemError error = CreateNewFile(TemporaryPath(number), piece_.Receive());
  if (error != kNoError) return Fail(StopKind::kPieceCreate, number, error, stop);
  count_ = number;
  return true;
}

bool PieceSet::Write(const void* bytes, size_t length, StopReason* stop) {
  return WriteBlock(bytes, length, false, stop);
}

bool PieceSet::WriteBlock(const void* bytes, size_t length, bool stays, StopReason* stop) {
  pieceBytes_ += length;
  if (count_ == 1) firstBytes_ = pieceBytes_;
  if (dryRun_ || length == 0) return true;
  if (hashes_ && stays) hashes_->Add(bytes, length);
  if (hashes_ && !stays) hashes_->AddNow(bytes, length);
  SystemError error = WriteAll(piece_.Get(), bytes, length);
  return error == kNoError || Fail(StopKind::kPieceWrite, count_, error, stop);
}

bool PieceSet::Copy(FileHandle source, const std::string& sourcePath, uint64_t length, StopReason* stop) {
  auto sourceFault = [&](StopKind kind, SystemError code) {
    *stop = StopReason{kind, sourcePath, code};
    return false;
  };
  uint64_t done = 0;
  while (kernelCopy_ && !dryRun_ && done < length) {
    if (StopRequested()) return Fail(StopKind::kInterrupted, count_, kNoError, stop);
    const uint64_t block = length - done < kCopyBlock ? length - done : kCopyBlock;
    uint64_t copied = 0;
    bool unsupported = false;
    SystemError error = CopyInKernel(source, piece_.Get(), block, &copied, &unsupported);
    done += copied;
    pieceBytes_ += copied;
    if (error != kNoError) return Fail(StopKind::kPieceWrite, count_, error, stop);
    if (unsupported) kernelCopy_ = false;
    // A source that ends early was cut short under us.
    if (!unsupported && copied == 0) return sourceFault(StopKind::kSourceChanged, kNoError);
  }
  // Hashed, the halves take turns: the one just written is hashed while
  // the other is read.
  const size_t half = hashes_ ? kHashBesideBlock : kCopyBuffer;
  std::vector<unsigned char> buffer;
  // On every way out, before the buffer goes: no hash may still read it.
  struct HashedFirst {
    HashBeside* hashes;
    ~HashedFirst() {
      if (hashes != nullptr) hashes->Wait();
    }
  } hashedFirst{hashes_.get()};
  for (size_t turn = 0; done < length; turn ^= 1) {
    if (StopRequested()) return Fail(StopKind::kInterrupted, count_, kNoError, stop);
    if (buffer.empty()) buffer.resize(hashes_ ? 2 * half : half);
    unsigned char* block = buffer.data() + (hashes_ ? turn * half : 0);
    const uint64_t wanted = length - done < half ? length - done : half;
    size_t got = 0;
    SystemError error = ReadBlock(source, block, static_cast<size_t>(wanted), &got);
    if (error != kNoError) return sourceFault(StopKind::kSourceRead, error);
    if (got == 0) return sourceFault(StopKind::kSourceChanged, kNoError);
    if (!WriteBlock(block, got, true, stop)) return false;
    done += got;
  }
  if (count_ == 1) firstBytes_ = pieceBytes_;
  return true;
}

bool PieceSet::End(StopReason* stop) {
  if (recordSizes_) sizes_.push_back(pieceBytes_);
  if (!dryRun_) {
    freshIds_.emplace_back();
    SystemError error = GetOpenIdentity(piece_.Get(), &freshIds_.back());
    if (error != kNoError) return Fail(StopKind::kPieceWrite, count_, error, stop);
  }
  SystemError error = piece_.Release();
  if (error != kNoError) return Fail(StopKind::kPieceWrite, count_, error, stop);
  if (!hashes_ || dryRun_) return true;
  digests_.emplace_back();
  return hashes_->Final(0, &digests_.back()) || FailManifest(kNoError, stop);
}

void PieceSet::HashPieces() {
  hashes_.reset(new HashBeside(2));
  kernelCopy_ = false;
}

bool PieceSet::WriteManifest(const std::string& restoredName, StopReason* stop) {
  if (!hashes_ || dryRun_) return true;
  std::vector<ChecksumEntry> entries;
  for (uint64_t number = 1; number <= count_; ++number) {
    entries.push_back(ChecksumEntry{digests_[number - 1], SourceFileName(Name(number))});
  }
  entries.push_back(ChecksumEntry{Sha256Digest(), restoredName});
  if (!hashes_->Final(1, &entries.back().digest)) return FailManifest(kNoError, stop);
  SystemError error = WriteNewFile(ManifestTemporaryPath(), FormatChecksumManifest(entries));
  if (error != kNoError) return FailManifest(error, stop);
  manifestWritten_ = true;
  return true;
}

std::string PieceSet::BesideTemporaryPath(const std::string& what) const {
  return MakeTemporaryPath(targetDir_, runTag_, what);
}

bool PieceSet::Commit(StopReason* stop) {
  if (dryRun_) return true;
  std::map<uint64_t, FileIdentity> now;
  if (!IdentifyPieces(&now, false, stop)) return false;
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
  for (uint64_t number = 1; number <= count_; ++number) {
    ChangedName name{DecimalText(number), true, freshIds_[number - 1], false, FileIdentity()};
    // A link is replaced, never kept: Wine deletes a link's target, not the link.
    const auto old = now.find(number);
    if (old != now.end() && !old->second.link) name.old = true, name.oldId = old->second;
    change.Add(name);
  }
  // The manifest and the files beside: the new one if written, the old one
  // going with the old set either way.
  std::vector<std::pair<std::string, bool>> beside{{"sha256", manifestWritten_}};
  for (const std::string& what : beside_) beside.emplace_back(what, true);
  for (const auto& file : beside) {
    ChangedName name{file.first, file.second, FileIdentity(), false, FileIdentity()};
    name.old = GetNameIdentity(change.FinalPath(name), &name.oldId) == kNoError && !name.oldId.link;
    const std::string temporary = change.TemporaryPath(file.first);
    SystemError error = name.fresh ? GetNameIdentity(temporary, &name.freshId) : kNoError;
    if (error != kNoError) {
      *stop = Failure(RoleOfBeside(file.first), Operation::kStat, temporary, error);
      return false;
    }
    if (name.fresh || name.old) change.Add(name);
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
