#include "join_batch.h"

#include "naming.h"
#include "resource_ids.h"
#include "session_state.h"
#include "slots.h"
#include "text_format.h"
#include "texts.h"

std::string BuildJoinBatchText(const std::string& sourceFileName, uint64_t lastPiece) {
  const std::string header = LoadText(IDS_BAT_HEADER);
  const std::string firstCopy = LoadText(IDS_BAT_FIRST_COPY);
  const std::string nextCopy = LoadText(IDS_BAT_NEXT_COPY);
  const std::string footer = LoadText(IDS_BAT_FOOTER);
  if (header.empty() || firstCopy.empty() || nextCopy.empty() || footer.empty()) return std::string();

  std::string stemName = sourceFileName;
  ReplaceLastDot(stemName);
  std::string text = FillTemplate(header, {sourceFileName});
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    text += FillTemplate(k == 1 ? firstCopy : nextCopy, {stemName, DecimalText(k)});
  }
  text += FillTemplate(footer, {sourceFileName, sourceFileName});
  return text;
}

bool WriteJoinBatch(Dialog* dialog, FileHandle source) {
  const std::string sourceFileName = SourceFileName(GetControlText(dialog, IDC_SOURCE_PATH));
  const std::string batchPath = JoinPath(GetControlText(dialog, IDC_TARGET_PATH), kJoinBatchName);
  // A Pieces split leaves lastPieceNumber one past its last piece.
  uint64_t lastPiece = gSession.lastPieceNumber - (gSession.splitMethod == Pieces ? 1 : 0);

  if (IsSameFile(batchPath, source)) {
    ShowInfoBox(dialog, FillTemplate(kMsgBatchIsSource, {batchPath}));
    return false;
  }
  const std::string text = BuildJoinBatchText(sourceFileName, lastPiece);
  FileSlot batch;
  bool created = !text.empty() && batch.Hold(CreateSharedFile(batchPath));
  bool written = created && WriteAll(batch.Get(), text.data(), text.size()) == IoError::kNone;
  bool closed = batch.Release();
  if (written && closed) return true;
  if (created) RemoveFile(batchPath);
  ShowInfoBox(dialog, FillTemplate(kMsgBatchFailed, {batchPath}));
  return false;
}
