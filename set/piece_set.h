// The pieces of one split: each written under a temporary name of the
// run's own and given its name only when every piece is whole, so that a
// split that stops leaves the folder as it found it.
#ifndef DORVENAL_PIECE_SET_H
#define DORVENAL_PIECE_SET_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "copy_range.h"
#include "hash_beside.h"
#include "job_result.h"
#include "platform.h"
#include "slots.h"

class PieceSet {
 public:
  // `source` is the open source (none for a stream): no piece may be it.
  // A dry run only counts what it would write.
  PieceSet(const std::string& targetDir, const std::string& stem, FileHandle source, bool dryRun);
  PieceSet(const PieceSet&) = delete;
  PieceSet& operator=(const PieceSet&) = delete;
  ~PieceSet() { Discard(); }

  // Notes which files stand at the pieces' names before anything is
  // written, and refuses a set where one of those names leads to the
  // source (by a link).
  bool Survey(StopReason* stop);
  // Starts piece count()+1.
  bool Begin(StopReason* stop);
  bool Write(const void* bytes, size_t length, StopReason* stop);
  // Copies length bytes from the source's position into the piece; a
  // source that cannot be read or ends early is named by sourcePath.
  bool Copy(FileHandle source, const std::string& sourcePath, uint64_t length, StopReason* stop);
  // Closes the piece being written.
  bool End(StopReason* stop);
  // Hashes every piece and the whole source as they are written, for the
  // set's checksum manifest; the bytes go through the buffer, which the
  // hashes can see, instead of the kernel's copy.
  void HashPieces();
  // Where a long piece's copy stands: see CopyRange::TellBlocks.
  void TellBlocks(void (*tell)(uint64_t bytes, void* context), void* context) { copy_.TellBlocks(tell, context); }
  // The digest of everything written, once the last piece has ended.
  bool WholeDigest(Sha256Digest* digest);
  // After the last piece: recovery pieces 1 .. digests.size() are written
  // at BesideTemporaryPath(RecoveryWhat(j)); the manifest lists them and
  // the commit names them.
  void AddRecovery(const std::vector<Sha256Digest>& digests);
  // After the last piece: the manifest under a temporary name, with the
  // recovery pieces' digests (of STEM.r1, STEM.r2, ...) after the pieces',
  // and its last line for wholeName, the source's own name, which a join
  // re-creates.
  bool WriteManifest(const std::string& wholeName, StopReason* stop);
  // Where JOIN.BAT ("bat") or join.sh ("sh") is written before the commit,
  // which then gives it its name with the set's.
  std::string BesideTemporaryPath(const std::string& what) const;
  void AddBeside(const std::string& what) { beside_.push_back(what); }
  // Under the folder's lock: gives every piece its name, then the manifest
  // and the files beside, all or nothing (set_change.h); an old manifest
  // of the set goes with the old pieces. Refuses when pieces of this name
  // are no longer the files the survey found: another run's set.
  bool Commit(StopReason* stop);
  // Removes the temporary files not yet given their names.
  void Discard();

  // Whether the system can hold piece `number`'s name, its temporary one
  // and the set's record of a change; the stop names the one it cannot.
  bool NamesFit(uint64_t number, StopReason* stop) const;

  // Makes room for what is kept of each of `pieces` pieces, where the
  // count is known before the first: no growing, and no copying, as they end.
  void Reserve(uint64_t pieces);
  // Keeps every piece's size, for a script that checks them.
  void RecordSizes() { recordSizes_ = true; }
  const std::vector<uint64_t>& sizes() const { return sizes_; }

  uint64_t count() const { return count_; }
  // Where piece `number` is until the commit, for reading it back.
  std::string WrittenPath(uint64_t number) const { return TemporaryPath(number); }
  const std::vector<Sha256Digest>& digests() const { return digests_; }
  std::string Name(uint64_t number) const;
  uint64_t firstBytes() const { return firstBytes_; }
  uint64_t lastBytes() const { return pieceBytes_; }

 private:
  std::string TemporaryPath(uint64_t number) const;
  // The identity of every file at a piece's name now, by number, and the
  // highest number of the recovery pieces there; after the survey, also
  // the indices of this run's pieces after the first, which End left out
  // where the listing tells them.
  bool IdentifyPieces(std::map<uint64_t, FileIdentity>* found, bool bySource, uint64_t* highestRecovery,
                      StopReason* stop);
  // Those indices asked of each piece by name, where the listing missed one.
  bool IdentifyFreshByName(StopReason* stop);
  std::string ManifestTemporaryPath() const;
  bool Stop(StopKind kind, uint64_t number, StopReason* stop) const;
  bool Fail(Operation operation, uint64_t number, SystemError code, StopReason* stop) const;
  bool FailManifest(Operation operation, SystemError code, StopReason* stop) const;

  std::string targetDir_;
  std::string stem_;
  std::string runTag_;
  FileHandle source_;
  bool dryRun_;
  uint64_t count_ = 0;      // pieces begun
  uint64_t committed_ = 0;  // pieces given their names
  uint64_t pieceBytes_ = 0;
  uint64_t firstBytes_ = 0;
  bool recordSizes_ = false;
  std::vector<uint64_t> sizes_;
  std::unique_ptr<HashBeside> hashes_;  // lane 0 the piece's, lane 1 the whole source's
  std::vector<Sha256Digest> digests_;    // of the pieces ended
  Sha256Digest whole_{};
  bool wholeDone_ = false;
  std::vector<Sha256Digest> recovery_;   // of the recovery pieces written
  std::string manifest_;                 // STEM.sha256
  bool manifestWritten_ = false;         // under its temporary name, not yet given its own
  CopyRange copy_;  // after the hashes, so that it ends first
  std::map<uint64_t, FileIdentity> surveyed_;  // the files at the pieces' names before the run wrote
  std::vector<FileIdentity> freshIds_;         // of the pieces ended
  std::vector<std::string> beside_;            // files beside the pieces written under temporary names
  FolderSlot folder_;                          // the target folder, held for the pieces' names
  bool listedIds_ = false;                     // its listing tells the pieces' indices
  FileSlot piece_;
};

#endif
