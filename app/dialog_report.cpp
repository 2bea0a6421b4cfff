#include "dialog_report.h"

#include <commctrl.h>

#include "dialog_texts.h"
#include "main_window.h"
#include "resource_ids.h"
#include "text_format.h"

namespace {

// The box of a stop other than a refused operation; %s names the reason's
// path. Null for the stops the program has always made without a word.
const char* StopText(StopKind kind, DialogJob job) {
  const bool split = job == DialogJob::kSplit;
  switch (kind) {
    case StopKind::kNone:
    case StopKind::kFailed:  // by its role and operation, below
    case StopKind::kSizeZero:
    case StopKind::kSizeNotBelowSource:
    case StopKind::kKeywordEmpty:
    case StopKind::kKeywordTooLong:
    case StopKind::kCountOfStream:
    case StopKind::kSourceNotRegular:
    case StopKind::kKeywordNotFound:
      return nullptr;
    case StopKind::kTooManyPieces: return kMsgTooManyPieces;
    case StopKind::kBatchNameInvalid: return kMsgBatchNameInvalid;
    case StopKind::kNamesTooLong: return kMsgNameTooLong;
    case StopKind::kSourceEmpty: return kMsgEmptySource;
    case StopKind::kSourceChanged: return kMsgSourceChanged;
    case StopKind::kNoFreeSpace: return split ? kMsgNoSpaceSplit : kMsgNoSpaceJoin;
    case StopKind::kPieceIsSource: return kMsgPieceIsSource;
    case StopKind::kBatchIsSource: return kMsgBatchIsSource;
    case StopKind::kScriptIsSource: return kMsgScriptIsSource;
    case StopKind::kNotFirstPiece: return kMsgNotFirstPiece;
    case StopKind::kFirstPieceMissing: return kMsgFirstPieceMissing;
    case StopKind::kOutputIsPiece: return kMsgOutputIsPiece;
    case StopKind::kPieceMissing: return kMsgPieceMissing;
    case StopKind::kPieceUnreadable: return kMsgPieceUnreadable;
    case StopKind::kPieceChanged: return kMsgPieceChanged;
    case StopKind::kPieceNotRegular: return kMsgPieceNotRegular;
    case StopKind::kPieceEmpty: return kMsgPieceEmpty;
    case StopKind::kSetChanged: return kMsgSetChanged;
    case StopKind::kLockNotAFile: return kMsgLockNotAFile;
    case StopKind::kManifestMissing: return kMsgManifestMissing;
    case StopKind::kManifestInvalid: return kMsgManifestInvalid;
    case StopKind::kPieceChecksum: return kMsgPieceChecksum;
    case StopKind::kUnfinishedChange: return kMsgUnfinishedChange;
    case StopKind::kOtherRunsSet: return kMsgOtherRunsSet;
    case StopKind::kBatchNameCodePage: return kMsgBatchNameCodePage;
    case StopKind::kInterrupted: return split ? kMsgSplitInterrupted : kMsgJoinInterrupted;
    case StopKind::kLowMemory: return kMsgLowMemory;
    case StopKind::kRecoveryTooMany: return kMsgRecoveryTooMany;
    case StopKind::kTooManyLost: return kMsgTooManyLost;
    case StopKind::kNoRecoveryPieces: return nullptr;  // the program does not repair
    case StopKind::kManifestNotRegular: return kMsgManifestNotRegular;
    case StopKind::kNameNotPlain: return kMsgNameNotPlain;
    case StopKind::kSizesOverflow: return kMsgSizesOverflow;
  }
  return nullptr;
}

// A refused operation in the box the program has shown for it since it had
// one; the general box (kMsgSplitFailed, kMsgJoinFailed) where it has none
// of its own, and null where the program stops without a word: a split that
// cannot open its source, look through its folder or create a piece.
const char* SplitFailureText(Role role, Operation operation) {
  switch (role) {
    case Role::kSource: return operation == Operation::kOpen ? nullptr : kMsgSourceReadFailed;
    case Role::kFolder: return operation == Operation::kStat ? kMsgNoSpaceSplit : nullptr;
    case Role::kPiece:
      if (operation == Operation::kCreate) return nullptr;
      return operation == Operation::kRename ? kMsgPieceRenameFailed : kMsgPieceWriteFailed;
    case Role::kManifest: return kMsgChecksumWriteFailed;
    case Role::kBatch: return kMsgBatchFailed;
    case Role::kScript: return kMsgScriptFailed;
    default: return kMsgSplitFailed;
  }
}

const char* JoinFailureText(Role role, Operation operation) {
  switch (role) {
    // A folder of pieces that cannot be listed has always been told as a piece that cannot be opened.
    case Role::kFolder: return operation == Operation::kStat ? kMsgNoSpaceJoin : kMsgPieceOpenFailed;
    case Role::kPiece:
      if (operation == Operation::kLookUp) return kMsgJoinFailed;
      return operation == Operation::kOpen ? kMsgPieceOpenFailed : kMsgPieceReadFailed;
    case Role::kOutput:
      if (operation == Operation::kCreate) return kMsgOutputCreateFailed;
      return operation == Operation::kRename ? kMsgOutputRenameFailed : kMsgOutputWriteFailed;
    default: return kMsgJoinFailed;
  }
}

// "create the folder lock": what a refused operation was, for the general box.
std::string FailedOperationText(const StopReason& reason) {
  static const char* const kOperations[] = {"use",   "open", "create", "list",   "look at", "read",
                                            "write", "sync", "rename", "remove", "lock", "look up"};
  static const char* const kRoles[] = {
      "the file",        "the source file", "the piece file",   "the joined file", "the checksum file",
      "the batch file",  "the script",      "the folder lock",  "the folder",      "the record of an unfinished change",
      "the kept copy",
  };
  return std::string(kOperations[static_cast<int>(reason.operation)]) + " " + kRoles[static_cast<int>(reason.role)];
}

std::string FailureMessage(const char* text, const StopReason& reason) {
  if (text == kMsgSplitFailed || text == kMsgJoinFailed) {
    return FillTemplate(text, {FailedOperationText(reason), reason.path, DescribeSystemError(reason.code)});
  }
  std::string message = FillTemplate(text, {reason.path});
  // A full drive is said first where a file being written ran out of room.
  const bool written = reason.role == Role::kPiece || reason.role == Role::kOutput || reason.role == Role::kManifest;
  if (written && reason.operation == Operation::kWrite && IsDiskFull(reason.code)) message = kMsgDriveFull + message;
  return message;
}

std::string QuestionText(const Question& question) {
  switch (question.kind) {
    case QuestionKind::kSplitBySize: return FillTemplate(kConfirmSize, {DecimalText(question.pieces)});
    case QuestionKind::kSplitByCount:
      if (question.lastPieceBytes == question.pieceBytes) {
        return FillTemplate(kConfirmPieces, {DecimalText(question.pieces), DecimalText(question.pieceBytes)});
      }
      return FillTemplate(kConfirmPiecesRemainder, {DecimalText(question.pieces - 1), DecimalText(question.pieceBytes),
                                                    DecimalText(question.lastPieceBytes)});
    case QuestionKind::kJoin: break;
  }
  return FillTemplate(kConfirmJoin, {DecimalText(question.pieces), question.name, question.name,
                                     DecimalText(question.totalBytes), question.name});
}

}  // namespace

Answer DialogReport::Ask(const Question& question) { return AskYesNo(dialog_, QuestionText(question)); }

void DialogReport::Warn(const Warning& warning) {
  switch (warning.kind) {
    case WarningKind::kStalePiece: return ShowInfoBox(dialog_, FillTemplate(kMsgStalePiece, {warning.path}));
    // A box would hold the run up until it is closed; the wait ends by itself.
    case WarningKind::kWaitingForLock: return;
    case WarningKind::kChangeFinished: return ShowInfoBox(dialog_, FillTemplate(kMsgChangeFinished, {warning.path}));
    case WarningKind::kChangeUndone: return ShowInfoBox(dialog_, FillTemplate(kMsgChangeUndone, {warning.path}));
    case WarningKind::kPiecesRebuilt: return ShowInfoBox(dialog_, FillTemplate(kMsgPiecesRebuilt, {warning.path}));
  }
}

void DialogReport::StartProgress(uint64_t pieces, uint64_t) {
  // A split whose pieces are found as it reads (a keyword) has no count
  // for the bar, which then stays as it was.
  pieces_ = pieces;
  if (pieces == 0) return;
  SendDlgItemMessageA(dialog_, IDC_PROGRESS, PBM_SETRANGE32, 1, static_cast<LPARAM>(pieces));
  SendDlgItemMessageA(dialog_, IDC_PROGRESS, PBM_SETSTEP, 1, 0);
  RECT bar{};
  GetClientRect(GetDlgItem(dialog_, IDC_PROGRESS), &bar);
  pieces_ = pieces;
  width_ = bar.right > 0 ? static_cast<uint64_t>(bar.right) : 0;
  position_ = shown_ = 0;
}

uint64_t DialogReport::FilledPixels(uint64_t piece) const {
  return pieces_ > 1 && piece > 1 ? (piece - 1) * width_ / (pieces_ - 1) : 0;
}

// The bar follows the pieces, but is moved only when its filled part
// grows by a pixel: a redraw costs milliseconds, and thousands of small
// pieces would otherwise spend more time drawing than writing.
void DialogReport::Progress(uint64_t piece, uint64_t) {
  if (pieces_ == 0 || piece == position_) return;
  position_ = piece;
  if (shown_ != 0 && piece != pieces_ && FilledPixels(piece) == FilledPixels(shown_)) return;
  ShowPosition();
}

void DialogReport::ShowPosition() {
  if (position_ == shown_) return;
  shown_ = position_;
  SendDlgItemMessageA(dialog_, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void DialogReport::Finished(const JobSummary&) {
  ShowPosition();
  ShowInfoBox(dialog_, job_ == DialogJob::kSplit ? kMsgSplitFinished : kMsgJoinFinished);
}

void DialogReport::Stopped(const StopReason& reason) {
  ShowPosition();
  // Made when the program started: telling of low memory needs none.
  if (reason.kind == StopKind::kLowMemory) return ShowInfoBox(dialog_, kLowMemoryText);
  std::string message;
  if (reason.kind == StopKind::kFailed) {
    const bool split = job_ == DialogJob::kSplit;
    const char* text = split ? SplitFailureText(reason.role, reason.operation)
                             : JoinFailureText(reason.role, reason.operation);
    if (text == nullptr) return;
    message = FailureMessage(text, reason);
  } else {
    const char* text = StopText(reason.kind, job_);
    if (text == nullptr) return;
    // The second place is the other file, or the code page JOIN.BAT is read in.
    const bool number = reason.kind == StopKind::kBatchNameCodePage || reason.kind == StopKind::kRecoveryTooMany ||
                        reason.kind == StopKind::kTooManyLost;
    const std::string second = number
                                    ? DecimalText(static_cast<uint32_t>(reason.code))
                                    : reason.otherPath;
    message = FillTemplate(text, {reason.path, second});
  }
  if (reason.otherCode != kNoError) {
    message += FillTemplate(kMsgNotPutBack, {DescribeSystemError(reason.otherCode), reason.otherPath});
  }
  ShowInfoBox(dialog_, message);
  // Only the file beside the pieces is missing: the split itself is done.
  if (PiecesAreWhole(reason)) ShowInfoBox(dialog_, kMsgSplitFinished);
}
