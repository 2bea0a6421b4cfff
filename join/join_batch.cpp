#include "join_batch.h"

#include "batch_templates.h"
#include "naming.h"
#include "slots.h"
#include "text_format.h"
#include "texts.h"

namespace {

// cmd.exe expands %...% even inside quotes; a doubled % is a literal one.
std::string EscapeQuoted(const std::string& name) {
  std::string escaped;
  for (char c : name) {
    if (c == '%') escaped += '%';
    escaped += c;
  }
  return escaped;
}

// Outside quotes cmd.exe also acts on & | < > ( ) ^: a caret makes each literal.
std::string EscapeUnquoted(const std::string& name) {
  std::string escaped;
  for (char c : EscapeQuoted(name)) {
    if (std::string("&|<>()^").find(c) != std::string::npos) escaped += '^';
    escaped += c;
  }
  return escaped;
}

}  // namespace

std::string BuildJoinBatchText(const std::string& sourceFileName, uint64_t lastPiece) {
  const std::string header = LoadBatchTemplate(BatchTemplate::kHeader);
  const std::string firstCopy = LoadBatchTemplate(BatchTemplate::kFirstCopy);
  const std::string nextCopy = LoadBatchTemplate(BatchTemplate::kNextCopy);
  const std::string footer = LoadBatchTemplate(BatchTemplate::kFooter);
  if (header.empty() || firstCopy.empty() || nextCopy.empty() || footer.empty()) return std::string();

  std::string stemName = sourceFileName;
  ReplaceLastDot(stemName);
  // The header's and the last ECHO's name stand unquoted, the others in quotes.
  std::string text = FillTemplate(header, {EscapeUnquoted(sourceFileName)});
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    text += FillTemplate(k == 1 ? firstCopy : nextCopy, {EscapeQuoted(stemName), DecimalText(k)});
  }
  text += FillTemplate(footer, {EscapeQuoted(sourceFileName), EscapeUnquoted(sourceFileName)});
  return text;
}

bool WriteJoinBatch(const SplitRequest& request, uint64_t lastPiece, FileHandle source, JobReport& report) {
  const std::string sourceFileName = SourceFileName(request.sourcePath);
  const std::string batchPath = JoinPath(request.targetDir, kJoinBatchName);

  if (IsSameFile(batchPath, source)) {
    report.ShowInfo(FillTemplate(kMsgBatchIsSource, {batchPath}));
    return false;
  }
  const std::string text = BuildJoinBatchText(sourceFileName, lastPiece);
  if (!text.empty() && WriteWholeFile(batchPath, text)) return true;
  report.ShowInfo(FillTemplate(kMsgBatchFailed, {batchPath}));
  return false;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  FileSlot file;
  bool created = file.Hold(CreateSharedFile(path));
  bool written = created && WriteAll(file.Get(), text.data(), text.size()) == IoError::kNone;
  bool closed = file.Release();
  if (written && closed) return true;
  if (created) RemoveFile(path);
  return false;
}
