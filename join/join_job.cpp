#include "join_job.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "copy_range.h"
#include "folder_lock.h"
#include "free_space.h"
#include "hash_beside.h"
#include "naming.h"
#include "rebuild.h"
#include "set_change.h"
#include "set_manifest.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

struct JoinRun {
  JoinRun(const JoinRequest& request, JobReport& report) : request(request), report(report) {}
  const JoinRequest& request;
  JobReport& report;
  FolderLock lock{report};  // the pieces' folder's, shared with other joins while the set is read
  PieceSetName set;
  std::string restoredName;
  std::string outputPath;
  std::string outputTemporary;  // where the output is written until it is whole
  // With a manifest beside the pieces: its lines, and the hash of the piece
  // being copied.
  std::string manifestPath;
  SetManifest manifest;
  std::unique_ptr<HashBeside> hashes;
  CopyRange copy;  // after the hashes, so that it ends first
  uint64_t pieceCount = 0;
  std::vector<uint64_t> pieceSizes;  // as counted: the join copies exactly these
  uint64_t totalSize = 0;
  uint64_t copying = 0;  // the number of the piece being copied
  FileSlot pieceFile;
  FileSlot outputFile;
  bool outputIncomplete = false;  // the temporary file exists and is not yet whole
  // A set with recovery pieces: pieces lost by their look-ups are
  // rebuilt by the pass that writes the whole output and checks the others
  // as it reads them. Otherwise the set is checked whole before the copy,
  // its lost pieces rebuilt into temporary files of this run, which the
  // copy takes in their place.
  bool coded = false;
  CodedSet codedSet;
  bool rebuildInOutput = false;  // left to that pass
  bool outputWhole = false;      // that pass wrote the output
  std::vector<uint32_t> rebuilt;         // rows
  std::vector<std::string> rebuiltPaths;  // by row of `rebuilt`
  std::vector<std::string> standIns;     // by piece: the rebuilt file, or empty
};

bool Stop(StopReason* stop, StopKind kind, const std::string& path) {
  *stop = StopReason{kind, path};
  return false;
}

bool Fail(StopReason* stop, Role role, Operation operation, const std::string& path, SystemError code) {
  *stop = Failure(role, operation, path, code);
  return false;
}

std::string PiecePath(const JoinRun& run, uint64_t number) {
  return MakePieceName(run.set.pieceDir + run.set.stemName, DecimalText(number));
}

// A piece's size into the set's; sizes that no 64-bit count can add up
// refuse the set.
bool AddToTotal(JoinRun& run, uint64_t size, StopReason* stop) {
  if (size > UINT64_MAX - run.totalSize) return Stop(stop, StopKind::kSizesOverflow, PiecePath(run, 1));
  run.totalSize += size;
  return true;
}

// Counts the consecutive pieces from 1 and adds up their sizes, from
// directory look-ups alone. A look-up that fails is told as such, not as
// the end of the set.
bool DiscoverPieces(JoinRun& run, StopReason* stop) {
  for (;;) {
    const std::string piece = PiecePath(run, run.pieceCount + 1);
    uint64_t size = 0;
    bool found = false;
    const SystemError error = LookUpFile(piece, &size, &found);
    if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kLookUp, piece, error);
    if (!found) return true;
    if (!AddToTotal(run, size, stop)) return false;
    ++run.pieceCount;
    run.pieceSizes.push_back(size);
  }
}

// The pieces of the set named in a folder beyond those counted.
struct LaterPieces {
  std::string stemName;
  uint64_t counted = 0;
  bool nextListed = false;  // the first number not counted has an entry all the same
  uint64_t nearest = 0;     // the lowest number above that one, 0 for none
};

void NoteLaterPiece(const std::string& name, uint64_t, void* context) {
  LaterPieces& later = *static_cast<LaterPieces*>(context);
  const uint64_t number = PieceNumberOf(name, later.stemName);
  if (number == 0) return;
  if (number == later.counted + 1) later.nextListed = true;
  if (number > later.counted + 1 && (later.nearest == 0 || number < later.nearest)) later.nearest = number;
}

// A set that visibly goes on past the first number not found is not whole:
// joining what was counted would report success over a part of the file.
bool CheckSetIsWhole(JoinRun& run, StopReason* stop) {
  LaterPieces later;
  later.stemName = run.set.stemName;
  later.counted = run.pieceCount;
  SystemError error = ListFolder(run.set.pieceDir, NoteLaterPiece, &later);
  if (error != kNoError) return Fail(stop, Role::kFolder, Operation::kList, run.set.pieceDir, error);
  if (!later.nextListed && later.nearest == 0) return true;
  *stop = StopReason{later.nextListed ? StopKind::kPieceUnreadable : StopKind::kPieceMissing,
                     PiecePath(run, run.pieceCount + 1), kNoError,
                     later.nearest != 0 ? PiecePath(run, later.nearest) : std::string()};
  return false;
}

// Pieces no split writes: refused before the question. A split writes an
// empty piece only before its first bytes (a count larger than the size)
// or as the last (a keyword at the very end); an empty piece between two
// that hold bytes is one cut short, or a file (of /proc) that counts 0 bytes
// and reads others. A FIFO or a device would read anything, or never end.
bool CheckPiecesCanJoin(const JoinRun& run, StopReason* stop) {
  bool bytesBefore = false;
  for (uint64_t k = 1; k <= run.pieceCount; ++k) {
    const std::string piece = PiecePath(run, k);
    if (!IsRegularFile(piece)) return Stop(stop, StopKind::kPieceNotRegular, piece);
    const bool empty = run.pieceSizes[k - 1] == 0;
    if (empty && bytesBefore && k < run.pieceCount) return Stop(stop, StopKind::kPieceEmpty, piece);
    bytesBefore = bytesBefore || !empty;
  }
  return true;
}

// True when the output path reaches one of the pieces (through a link, or
// a name the system treats as the same): replacing it would destroy a piece.
bool OutputIsAPiece(const JoinRun& run) {
  FileSlot existing;
  bool notRegular = false;
  if (OpenRegularFile(run.outputPath, existing.Receive(), &notRegular) != kNoError) return false;
  for (uint64_t k = 1; k <= run.pieceCount; ++k) {
    if (IsSameFile(PiecePath(run, k), existing.Get())) return true;
  }
  return false;
}

// The checksum manifest beside the first piece, when anything stands at its
// name: it must list exactly the pieces counted, and it names the file to
// re-create. The pieces then go through the buffer, where they are hashed.
bool ReadManifest(JoinRun& run, StopReason* stop) {
  run.manifest = SetManifest();
  run.copy.HashInto(nullptr);
  run.hashes.reset();
  run.restoredName = RestoreFileName(run.set.stemName);
  run.manifestPath = MakeManifestName(run.set.pieceDir + run.set.stemName);
  if (!NameIsTaken(run.manifestPath)) {
    run.manifestPath.clear();
  } else if (!ReadSetManifest(run.manifestPath, run.set.stemName, ManifestByteLimit(run.pieceCount), &run.manifest,
                              stop)) {
    return false;
  } else if (run.manifest.pieces.size() != run.pieceCount) {
    return Stop(stop, StopKind::kManifestInvalid, run.manifestPath);
  } else {
    // The set knows its source's own name, which the stem may not give back.
    run.restoredName = run.manifest.wholeName;
  }
  run.outputPath = JoinPath(run.request.targetDir, run.restoredName);
  if (run.manifestPath.empty()) return true;
  run.hashes.reset(new HashBeside(1));
  run.copy.HashInto(run.hashes.get());
  return true;
}

// Where a long piece's copy stands, between its blocks.
void TellCopied(uint64_t bytes, void* context) {
  JoinRun& run = *static_cast<JoinRun*>(context);
  run.report.Progress(run.copying, bytes);
}

// Appends one piece, exactly the bytes it held when it was counted, and
// then makes sure that it ends there.
bool CopyPiece(JoinRun& run, uint64_t number, StopReason* stop) {
  const bool standIn = run.coded && !run.standIns[number - 1].empty();
  const std::string piece = standIn ? run.standIns[number - 1] : PiecePath(run, number);
  const uint64_t length = run.pieceSizes[number - 1];
  bool notRegular = false;
  SystemError error = OpenRegularFile(piece, run.pieceFile.Receive(), &notRegular);
  if (notRegular) return Stop(stop, StopKind::kPieceNotRegular, piece);
  if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kOpen, piece, error);
  FileStamp before;
  error = GetFileStamp(run.pieceFile.Get(), &before);
  if (error != kNoError) return Fail(stop, Role::kPiece, Operation::kStat, piece, error);
  if (before.size != length) return Stop(stop, StopKind::kPieceChanged, piece);
  // A piece of a set with recovery pieces was hashed when it was checked.
  if (run.coded && !standIn && before != run.codedSet.stamps[number - 1]) {
    return Stop(stop, StopKind::kPieceChanged, piece);
  }
  CopyOutcome outcome = run.copy.Copy(run.pieceFile.Get(), run.outputFile.Get(), length);
  if (outcome.end == CopyEnd::kDone) outcome = run.copy.CheckEnd(run.pieceFile.Get());
  switch (outcome.end) {
    case CopyEnd::kDone: break;
    case CopyEnd::kStopped: return Stop(stop, StopKind::kInterrupted, run.outputPath);
    case CopyEnd::kReadFailed: return Fail(stop, Role::kPiece, Operation::kRead, piece, outcome.code);
    case CopyEnd::kWriteFailed: return Fail(stop, Role::kOutput, Operation::kWrite, run.outputPath, outcome.code);
    case CopyEnd::kEndedEarly:
    case CopyEnd::kReadsOn: return Stop(stop, StopKind::kPieceChanged, piece);
  }
  // A piece written to while it was copied is not the piece that was counted.
  FileStamp after;
  if (GetFileStamp(run.pieceFile.Get(), &after) != kNoError || after != before) {
    return Stop(stop, StopKind::kPieceChanged, piece);
  }
  run.pieceFile.Release();
  Sha256Digest digest;
  if (run.hashes && !run.hashes->Final(0, &digest)) return Fail(stop, Role::kPiece, Operation::kRead, piece, kNoError);
  if (run.hashes && digest != run.manifest.pieces[number - 1]) {
    *stop = StopReason{StopKind::kPieceChecksum, piece, kNoError, run.manifestPath};
    return false;
  }
  return true;
}

// Counts the pieces and checks that they make a whole set, with the
// manifest when there is one.
bool CountSet(JoinRun& run, StopReason* stop) {
  run.pieceCount = 0;
  run.pieceSizes.clear();
  run.totalSize = 0;
  if (!DiscoverPieces(run, stop)) return false;
  // Without a first piece there is nothing to join; going on would empty
  // an existing file and call that a success.
  if (run.pieceCount == 0) return Stop(stop, StopKind::kFirstPieceMissing, PiecePath(run, 1));
  // Never across a change that a run began after the one settled above.
  if (!RefuseUnfinishedChange(run.set.pieceDir + run.set.stemName, stop)) return false;
  return CheckSetIsWhole(run, stop) && CheckPiecesCanJoin(run, stop) && ReadManifest(run, stop);
}

// Counted again once the question is answered: the answer holds for a set
// of the same pieces, sizes and checksums, and for no other.
bool CountAgain(JoinRun& run, StopReason* stop) {
  const std::vector<uint64_t> askedSizes = run.pieceSizes;
  const std::string askedManifest = run.manifestPath;
  const SetManifest askedSums = run.manifest;
  if (!CountSet(run, stop)) return false;
  if (run.pieceSizes != askedSizes || run.manifestPath != askedManifest || run.manifest.pieces != askedSums.pieces ||
      run.manifest.whole != askedSums.whole || run.manifest.wholeName != askedSums.wholeName) {
    return Stop(stop, StopKind::kSetChanged, PiecePath(run, 1));
  }
  return true;
}

// A set with recovery pieces is described by its manifest or their
// headers: missing pieces count with the sizes the set gives them.
bool DescribeCodedSet(JoinRun& run, StopReason* stop) {
  if (!RefuseUnfinishedChange(run.set.pieceDir + run.set.stemName, stop)) return false;
  if (!ReadCodedSet(run.set.pieceDir, run.set.stemName, &run.codedSet, &run.coded, stop)) return false;
  if (!run.coded) return true;
  const CodedSet& set = run.codedSet;
  // The set knows its source's own name where its manifest is there.
  run.restoredName = set.wholeName.empty() ? RestoreFileName(run.set.stemName) : set.wholeName;
  run.outputPath = JoinPath(run.request.targetDir, run.restoredName);
  run.pieceCount = set.dataCount;
  run.pieceSizes = set.sizes;
  run.totalSize = 0;
  for (uint64_t size : set.sizes) {
    if (!AddToTotal(run, size, stop)) return false;
  }
  run.manifestPath = set.manifestPath;
  run.manifest.pieces = set.digests;
  run.manifest.whole = set.whole;
  run.manifest.wholeName = set.wholeName;
  return true;
}

// Every piece checked, the lost ones rebuilt beside the output and checked
// against the set's digests before anything takes the output's name.
bool CheckAndRebuild(JoinRun& run, StopReason* stop) {
  CodedSet& set = run.codedSet;
  if (!CheckCodedSet(&set, false, stop)) return false;
  run.rebuilt = LostRows(set, false);
  if (run.rebuilt.empty()) return true;
  if (!RefuseTooManyLost(set, run.rebuilt, stop)) return false;
  const std::string tag = MakeRunTag();
  for (uint32_t row : run.rebuilt) {
    run.rebuiltPaths.push_back(MakeTemporaryPath(run.request.targetDir, tag, DecimalText(row + 1)));
  }
  std::vector<FileIdentity> ids;
  if (!RebuildRows(set, run.rebuilt, run.rebuiltPaths, &ids, stop)) {
    run.rebuiltPaths.clear();
    return false;
  }
  for (size_t k = 0; k < run.rebuilt.size(); ++k) run.standIns[run.rebuilt[k]] = run.rebuiltPaths[k];
  return true;
}

// Before the output is made. Pieces lost by their look-ups alone (missing,
// another size) are left to the pass that writes the whole output, which
// checks the survivors as it reads them; otherwise every piece is checked
// first and the lost ones rebuilt.
bool PlanRebuild(JoinRun& run, StopReason* stop) {
  CodedSet& set = run.codedSet;
  run.standIns.assign(set.dataCount, std::string());
  run.rebuildInOutput = PresumeFromLookUps(&set) && LostRows(set, false).size() <= RebuildableCount(set);
  return run.rebuildInOutput || CheckAndRebuild(run, stop);
}

// The set as it was asked about: the same description, checked now.
bool CountCodedAgain(JoinRun& run, StopReason* stop) {
  const CodedSet asked = run.codedSet;
  if (!DescribeCodedSet(run, stop)) return false;
  const CodedSet& now = run.codedSet;
  if (!run.coded || now.sizes != asked.sizes || now.digests != asked.digests ||
      now.recoveryDigests != asked.recoveryDigests || now.manifestPath != asked.manifestPath ||
      now.wholeName != asked.wholeName) {
    return Stop(stop, StopKind::kSetChanged, PiecePath(run, 1));
  }
  return PlanRebuild(run, stop);
}

// The output, written under a temporary name of this run's own, so that a
// failure leaves an existing file of the restored name as it was.
bool StartOutput(JoinRun& run, StopReason* stop) {
  run.outputTemporary = MakeTemporaryPath(run.request.targetDir, MakeRunTag(), "out");
  SystemError error = CreateNewFile(run.outputTemporary, run.outputFile.Receive());
  if (error != kNoError) return Fail(stop, Role::kOutput, Operation::kCreate, run.outputPath, error);
  run.outputIncomplete = true;
  return true;
}

// Where the pass that writes the whole output stands: every piece has that
// share done, shown as the piece the bytes would reach one after another.
void TellWritten(uint64_t bytes, void* context) {
  JoinRun& run = *static_cast<JoinRun*>(context);
  uint64_t piece = 1;
  uint64_t end = run.pieceSizes[0];  // of piece `piece`
  while (piece < run.pieceCount && end <= bytes) end += run.pieceSizes[piece++];
  run.report.Progress(piece, bytes);
}

// The whole output in one pass that reads every survivor once: copied to
// its place, hashed, and with the others rebuilding the lost pieces at
// theirs. A survivor found damaged there costs the output, which is made
// again once the set is checked whole and the lost pieces rebuilt.
bool RebuildInOutput(JoinRun& run, StopReason* stop) {
  run.rebuilt = LostRows(run.codedSet, false);
  WholeOutput output;
  output.file = run.outputFile.Get();
  output.path = run.outputPath;
  output.tell = TellWritten;
  output.context = &run;
  bool survivorsSound = false;
  if (!RebuildIntoOutput(&run.codedSet, run.rebuilt, output, &survivorsSound, stop)) return false;
  run.outputWhole = survivorsSound;
  if (survivorsSound) return true;
  run.outputFile.Release();
  RemoveFile(run.outputTemporary);
  run.outputIncomplete = false;
  return CheckAndRebuild(run, stop) && StartOutput(run, stop);
}

// Held while the set is counted and copied, so that a split's commit there
// comes wholly before or after; never while a question waits.
bool LockPieceFolder(JoinRun& run, StopReason* stop) {
  return run.lock.Take(run.set.pieceDir.empty() ? "." : run.set.pieceDir, LockMode::kShared, stop);
}

// The restored name must be a file's own in the target folder. On
// Windows that also keeps out pieces whose names open a device (aux.1 on
// Windows 10 and before): their stem's part before the first dot is the
// restored name's.
bool CheckNames(const JoinRun& run, StopReason* stop) {
  if (IsPlainFileName(run.restoredName, kPathSeparator == '\\')) return true;
  return Stop(stop, StopKind::kNameNotPlain, run.restoredName);
}

JobEnd RunJoin(JoinRun& run, JobSummary* summary, StopReason* stop) {
  JobReport& report = run.report;
  // A set whose first piece is lost is named by its manifest or a recovery piece.
  std::string stem;
  const bool setFile = !IsFirstPiecePath(run.request.firstPiecePath) && StemOfSetFile(run.request.firstPiecePath, &stem);
  if (!IsFirstPiecePath(run.request.firstPiecePath) && !setFile) {
    Stop(stop, StopKind::kNotFirstPiece, run.request.firstPiecePath);
    return JobEnd::kStopped;
  }
  run.set = SplitFirstPiecePath(setFile ? MakePieceName(stem, "1") : run.request.firstPiecePath);
  run.restoredName = RestoreFileName(run.set.stemName);
  run.outputPath = JoinPath(run.request.targetDir, run.restoredName);
  if (!CheckNames(run, stop)) return JobEnd::kStopped;
  // A change of this set that a run left unfinished is settled first.
  if (!SettleUnfinishedChange(run.set.pieceDir + run.set.stemName, run.request.dryRun, report, stop)) {
    return JobEnd::kStopped;
  }
  if (!LockPieceFolder(run, stop) || !DescribeCodedSet(run, stop)) return JobEnd::kStopped;
  if (!run.coded && setFile) {
    Stop(stop, StopKind::kNotFirstPiece, run.request.firstPiecePath);
    return JobEnd::kStopped;
  }
  if (!run.coded && !CountSet(run, stop)) return JobEnd::kStopped;
  SystemError query = kNoError;
  if (CheckFreeSpace(run.request.targetDir, run.totalSize, &query) == 0) {
    if (query != kNoError) Fail(stop, Role::kFolder, Operation::kStat, run.request.targetDir, query);
    if (query == kNoError) Stop(stop, StopKind::kNoFreeSpace, run.request.targetDir);
    return JobEnd::kStopped;
  }
  summary->dryRun = run.request.dryRun;
  summary->sourceName = run.restoredName;
  summary->pieces = run.pieceCount;
  summary->totalBytes = run.totalSize;
  summary->firstPiece = PiecePath(run, 1);
  summary->lastPiece = PiecePath(run, run.pieceCount);
  summary->output = run.outputPath;
  if (run.request.dryRun) return JobEnd::kFinished;
  run.lock.Release();
  Question question;
  question.kind = QuestionKind::kJoin;
  question.pieces = run.pieceCount;
  question.totalBytes = run.totalSize;
  question.name = run.restoredName;
  if (report.Ask(question) == Answer::kNo) return JobEnd::kDeclined;
  if (!LockPieceFolder(run, stop) || !(run.coded ? CountCodedAgain(run, stop) : CountAgain(run, stop))) {
    return JobEnd::kStopped;
  }

  if (OutputIsAPiece(run)) {
    Stop(stop, StopKind::kOutputIsPiece, run.outputPath);
    return JobEnd::kStopped;
  }
  if (!StartOutput(run, stop)) return JobEnd::kStopped;
  report.StartProgress(run.pieceCount, run.totalSize);
  if (run.rebuildInOutput && !RebuildInOutput(run, stop)) return JobEnd::kStopped;
  run.copy.TellBlocks(TellCopied, &run);
  for (uint64_t k = 1; !run.outputWhole && k <= run.pieceCount; ++k) {
    // The bar shows k while piece k is copied.
    run.copying = k;
    report.Progress(k, run.copy.bytes());
    if (!CopyPiece(run, k, stop)) return JobEnd::kStopped;
  }
  report.Progress(run.pieceCount, run.outputWhole ? run.totalSize : run.copy.bytes());
  if (StopRequested()) {
    Stop(stop, StopKind::kInterrupted, run.outputPath);
    return JobEnd::kStopped;
  }
  SystemError error = run.outputFile.Release();
  if (error != kNoError) {
    Fail(stop, Role::kOutput, Operation::kWrite, run.outputPath, error);
    return JobEnd::kStopped;
  }
  error = RenameReplacing(run.outputTemporary, run.outputPath);
  if (error != kNoError) {
    Fail(stop, Role::kOutput, Operation::kRename, run.outputPath, error);
    return JobEnd::kStopped;
  }
  run.outputIncomplete = false;
  if (!run.rebuilt.empty()) report.Warn(Warning{WarningKind::kPiecesRebuilt, RowNames(run.codedSet, run.rebuilt)});
  return JobEnd::kFinished;
}

}  // namespace

JobResult PerformJoinJob(const JoinRequest& request, JobReport& report) {
  JoinRun run(request, report);
  JobSummary summary;
  JobResult result;
  try {
    result.end = RunJoin(run, &summary, &result.reason);
  } catch (const std::bad_alloc&) {
    result = JobResult{JobEnd::kStopped, StopReason{StopKind::kLowMemory, run.outputPath}};
  }
  // An output not yet given its name is incomplete and is removed, so that
  // no partial file passes for the joined one.
  run.pieceFile.Release();
  run.outputFile.Release();
  if (run.outputIncomplete) RemoveFile(run.outputTemporary);
  for (const std::string& path : run.rebuiltPaths) RemoveFile(path);
  run.lock.Release();
  if (result.end == JobEnd::kFinished) report.Finished(summary);
  if (result.end == JobEnd::kStopped) report.Stopped(result.reason);
  return result;
}
