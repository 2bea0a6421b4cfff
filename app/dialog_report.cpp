#include "dialog_report.h"

#include <commctrl.h>

#include "main_window.h"
#include "resource_ids.h"
#include "text_format.h"
#include "texts.h"

namespace {

// The box of a stop; %s names the reason's path. Null for the stops the
// program has always made without a word.
const char* StopText(StopKind kind, DialogJob job) {
  const bool split = job == DialogJob::kSplit;
  switch (kind) {
    case StopKind::kFailed: return split ? kMsgSplitFailed : kMsgJoinFailed;
    case StopKind::kSizeZero:
    case StopKind::kSizeNotBelowSource:
    case StopKind::kKeywordEmpty:
    case StopKind::kKeywordTooLong:
    case StopKind::kCountOfStream:
    case StopKind::kSourceOpen:
    case StopKind::kSourceNotRegular:
    case StopKind::kKeywordNotFound:
    case StopKind::kPieceCreate:
      return nullptr;
    case StopKind::kTooManyPieces: return kMsgTooManyPieces;
    case StopKind::kBatchNameInvalid: return kMsgBatchNameInvalid;
    case StopKind::kNamesTooLong: return kMsgNameTooLong;
    case StopKind::kSourceEmpty: return kMsgEmptySource;
    case StopKind::kSourceRead: return kMsgSourceReadFailed;
    case StopKind::kSourceChanged: return kMsgSourceChanged;
    case StopKind::kNoFreeSpace: return split ? kMsgNoSpaceSplit : kMsgNoSpaceJoin;
    case StopKind::kPieceIsSource: return kMsgPieceIsSource;
    case StopKind::kPieceWrite: return kMsgPieceWriteFailed;
    case StopKind::kPieceRename: return kMsgPieceRenameFailed;
    case StopKind::kBatchIsSource: return kMsgBatchIsSource;
    case StopKind::kBatchWrite: return kMsgBatchFailed;
    case StopKind::kScriptWrite: return kMsgScriptFailed;
    case StopKind::kNotFirstPiece: return kMsgNotFirstPiece;
    case StopKind::kFirstPieceMissing: return kMsgFirstPieceMissing;
    case StopKind::kOutputIsPiece: return kMsgOutputIsPiece;
    case StopKind::kOutputCreate: return kMsgOutputCreateFailed;
    case StopKind::kOutputWrite: return kMsgOutputWriteFailed;
    case StopKind::kOutputRename: return kMsgOutputRenameFailed;
    case StopKind::kPieceOpen: return kMsgPieceOpenFailed;
    case StopKind::kPieceRead: return kMsgPieceReadFailed;
    case StopKind::kPieceMissing: return kMsgPieceMissing;
    case StopKind::kPieceUnreadable: return kMsgPieceUnreadable;
    case StopKind::kPieceChanged: return kMsgPieceChanged;
    case StopKind::kChecksumWrite: return kMsgChecksumWriteFailed;
    case StopKind::kManifestMissing: return kMsgManifestMissing;
    case StopKind::kManifestInvalid: return kMsgManifestInvalid;
    case StopKind::kPieceChecksum: return kMsgPieceChecksum;
    case StopKind::kUnfinishedChange: return kMsgUnfinishedChange;
    case StopKind::kOtherRunsSet: return kMsgOtherRunsSet;
    case StopKind::kBatchNameCodePage: return kMsgBatchNameCodePage;
    case StopKind::kInterrupted: return split ? kMsgSplitInterrupted : kMsgJoinInterrupted;
    case StopKind::kLowMemory: return kMsgLowMemory;
  }
  return nullptr;
}

// "create the folder lock": what a refused operation was, in the box's words.
std::string FailedOperationText(const StopReason& reason) {
  static const char* const kOperations[] = {"use",   "open", "create", "list",   "look at", "read",
                                            "write", "sync", "rename", "remove", "lock"};
  static const char* const kRoles[] = {
      "the file",        "the source file", "the piece file",   "the joined file", "the checksum file",
      "the batch file",  "the script",      "the folder lock",  "the folder",      "the record of an unfinished change",
      "the kept copy",
  };
  return std::string(kOperations[static_cast<int>(reason.operation)]) + " " + kRoles[static_cast<int>(reason.role)];
}

bool IsWriteFailure(StopKind kind) {
  return kind == StopKind::kPieceWrite || kind == StopKind::kOutputWrite || kind == StopKind::kChecksumWrite;
}

}  // namespace

Answer DialogReport::Ask(const std::string& question) { return AskYesNo(dialog_, question); }

void DialogReport::Warn(const Warning& warning) {
  switch (warning.kind) {
    case WarningKind::kStalePiece: return ShowInfoBox(dialog_, FillTemplate(kMsgStalePiece, {warning.path}));
    case WarningKind::kChangeFinished: return ShowInfoBox(dialog_, FillTemplate(kMsgChangeFinished, {warning.path}));
    case WarningKind::kChangeUndone: return ShowInfoBox(dialog_, FillTemplate(kMsgChangeUndone, {warning.path}));
  }
}

void DialogReport::StartProgress(uint64_t pieces, uint64_t) {
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
  if (piece == position_) return;
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
  const char* text = StopText(reason.kind, job_);
  if (text == nullptr) return;
  // The second place is the other file, or the code page JOIN.BAT is read in.
  const std::string second =
      reason.kind == StopKind::kBatchNameCodePage ? DecimalText(static_cast<uint32_t>(reason.code)) : reason.otherPath;
  std::string message = reason.kind == StopKind::kFailed
                            ? FillTemplate(text, {FailedOperationText(reason), reason.path, DescribeSystemError(reason.code)})
                            : FillTemplate(text, {reason.path, second});
  if (IsWriteFailure(reason.kind) && IsDiskFull(reason.code)) message = kMsgDriveFull + message;
  if (reason.otherCode != kNoError) {
    message += FillTemplate(kMsgNotPutBack, {DescribeSystemError(reason.otherCode), reason.otherPath});
  }
  ShowInfoBox(dialog_, message);
  // Only the file beside the pieces is missing: the split itself is done.
  if (PiecesAreWhole(reason.kind)) ShowInfoBox(dialog_, kMsgSplitFinished);
}
