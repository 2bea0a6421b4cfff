// How a job ended, and why it stopped: a kind from one closed list, the
// path concerned and the system's error code. Front ends choose the words.
#ifndef DORVENAL_JOB_RESULT_H
#define DORVENAL_JOB_RESULT_H

#include <string>
#include <utility>

#include "platform.h"

// What a file was to the job when the system refused an operation on it.
enum class Role {
  kNone,
  kSource,
  kPiece,
  kOutput,    // the file a join re-creates
  kManifest,  // STEM.sha256
  kBatch,     // JOIN.BAT
  kScript,    // join.sh
  kLock,      // the folder's lock
  kFolder,    // the target folder, or the pieces' folder
  kJournal,   // the record of a set's unfinished change
  kBackup,    // a file of the set kept aside while the set changes
};

// What the system was asked to do with it.
enum class Operation {
  kNone,
  kOpen,
  kCreate,
  kList,
  kStat,
  kRead,
  kWrite,
  kSync,
  kRename,
  kRemove,
  kLock,
  kLookUp,  // a name looked up in its folder, before any file is opened
};

enum class StopKind {
  kNone,               // no reason given: a job that stops always gives one
  // The system refused an operation: see role and operation.
  kFailed,
  // The request, refused before anything is written.
  kSizeZero,           // a piece size or count of 0
  kSizeNotBelowSource, // a piece size not below the source's size
  kTooManyPieces,      // more than kMaxPieceNumber pieces
  kKeywordEmpty,
  kKeywordTooLong,     // more than kMaxKeywordBytes
  kCountOfStream,      // a count split needs the size, which a stream has not
  kBatchNameInvalid,   // JOIN.BAT cannot name the source (path: the name)
  kBatchNameCodePage,  // nor spell it in the code page cmd.exe reads it in
                       // (path: the name, code: the code page)
  kNamesTooLong,       // a piece name the system cannot hold (path: it)
  // The source.
  kSourceNotRegular,
  kSourceEmpty,
  kSourceChanged,      // written, cut or extended while it was read
  kNoFreeSpace,        // too little room in the folder (path)
  kKeywordNotFound,    // before the end or the first zero byte
  // Pieces being written.
  kPieceIsSource,      // path: the piece name that reaches the source
  // After the pieces are whole.
  kBatchIsSource,
  kScriptIsSource,
  // The join.
  kNotFirstPiece,      // the path does not end in ".1"
  kFirstPieceMissing,
  kOutputIsPiece,
  kPieceMissing,       // the set goes on past a missing piece (otherPath: a later piece)
  kPieceUnreadable,    // a piece's name holds no readable file (otherPath: a later piece, if any)
  kPieceChanged,       // a piece is not the size it had when it was counted, or reads more
  kPieceNotRegular,    // a piece is a FIFO, a device or a socket, not a file
  kPieceEmpty,         // an empty piece between pieces that hold bytes
  kSetChanged,         // the set (path: its first piece) is not the one the question was about
  // The checksum manifest.
  kManifestMissing,    // a check without joining finds no checksum manifest (path: its name)
  kManifestInvalid,    // the manifest (path) cannot be read (code), is damaged, or lists other pieces
  kPieceChecksum,      // a piece (path) does not match its line in the manifest (otherPath)
  // A change of a set.
  kUnfinishedChange,   // a run ended while it replaced the set (path: its record); a check refuses
  kOtherRunsSet,       // another run gave the set (path: one of its pieces) its names meanwhile
  // Either job.
  kLockNotAFile,       // something other than a lock file stands at the lock's name (path)
  kInterrupted,        // a stop was requested (a signal, Ctrl+C)
  kLowMemory,
  // Recovery pieces.
  kRecoveryTooMany,    // pieces and recovery pieces more than a set can code (path: the source; code: their number)
  kTooManyLost,        // more pieces lost than the sound recovery pieces rebuild (path: the lost ones,
                       // comma-separated; code: how many could have been rebuilt)
  kNoRecoveryPieces,   // a repair of a set (path: its stem) that has none
  kManifestNotRegular,  // a folder, a device, a FIFO or a dangling link at the manifest's name (path)
  // The join, again.
  kNameNotPlain,       // a name the set gives (path: the restored name, or on Windows a piece's) is not a plain file name
  kSizesOverflow,      // the pieces' sizes (path: the first piece) add up to more than 64 bits can count
};

struct StopReason {
  StopReason() = default;
  StopReason(StopKind kind, std::string path, SystemError code = kNoError, std::string otherPath = std::string())
      : kind(kind), path(std::move(path)), code(code), otherPath(std::move(otherPath)) {}
  StopKind kind = StopKind::kNone;
  std::string path;
  SystemError code = kNoError;
  std::string otherPath;  // a second file the stop concerns, where there is one
  // A change that failed and could not be undone either: the file not put
  // back is otherPath, this is why; the change stays recorded.
  SystemError otherCode = kNoError;
  Role role = Role::kNone;            // with kFailed
  Operation operation = Operation::kNone;
};

// The system refused `operation` on the file at path, which was `role` to the job.
inline StopReason Failure(Role role, Operation operation, std::string path, SystemError code) {
  StopReason reason(StopKind::kFailed, std::move(path), code);
  reason.role = role;
  reason.operation = operation;
  return reason;
}

enum class JobEnd {
  kFinished,  // everything asked for was done
  kDeclined,  // the user answered No; nothing was written
  kStopped,   // see the reason
};

struct JobResult {
  JobEnd end = JobEnd::kStopped;
  StopReason reason;  // when stopped
};

// Stops after which the pieces are all whole and named: only a script or
// batch file beside them is missing.
inline bool PiecesAreWhole(const StopReason& reason) {
  return reason.kind == StopKind::kBatchIsSource || reason.kind == StopKind::kScriptIsSource;
}

#endif
