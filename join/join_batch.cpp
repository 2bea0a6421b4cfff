#include "join_batch.h"

#include <cstring>

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
    if (std::strchr("&|<>()^", c) != nullptr && c != '\0') escaped += '^';
    escaped += c;
  }
  return escaped;
}

}  // namespace

bool BatchCanName(const std::string& sourceFileName) {
  for (unsigned char c : sourceFileName) {
    if (c < 32 || std::strchr("\"*?<>|:", c) != nullptr) return false;
  }
  return true;
}

std::string BuildJoinBatchText(const std::string& sourceFileName, uint64_t lastPiece) {
  std::string stemName = sourceFileName;
  ReplaceLastDot(stemName);
  // The header's and the last ECHO's name stand unquoted, the others in quotes.
  std::string text = FillTemplate(kBatchHeader, {EscapeUnquoted(sourceFileName)});
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    const std::string piece = MakePieceName(stemName, DecimalText(k));
    text += FillTemplate(kBatchCheckPiece, {EscapeQuoted(piece), EscapeUnquoted(piece), EscapeUnquoted(sourceFileName),
                                            EscapeQuoted(piece)});
  }
  for (const std::string& name : {sourceFileName, std::string("dorvnl.tmp")}) {
    text += FillTemplate(kBatchCheckInTheWay, {EscapeQuoted(name), EscapeUnquoted(name), EscapeQuoted(name)});
  }
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    text += FillTemplate(k == 1 ? kBatchFirstCopy : kBatchNextCopy, {EscapeQuoted(stemName), DecimalText(k)});
  }
  text += FillTemplate(kBatchFooter, {EscapeQuoted(sourceFileName), EscapeUnquoted(sourceFileName)});
  return text + kBatchEnd;
}

bool WriteJoinBatch(const std::string& sourceFileName, const std::string& targetDir, uint64_t lastPiece,
                    FileHandle source, StopReason* stop) {
  const std::string batchPath = JoinPath(targetDir, kJoinBatchName);
  if (source.value != kNoHandle && IsSameFile(batchPath, source)) {
    *stop = StopReason{StopKind::kBatchIsSource, batchPath, kNoError};
    return false;
  }
  SystemError error = WriteWholeFile(batchPath, BuildJoinBatchText(sourceFileName, lastPiece));
  if (error == kNoError) return true;
  *stop = StopReason{StopKind::kBatchWrite, batchPath, error};
  return false;
}

SystemError WriteWholeFile(const std::string& path, const std::string& text, bool executable) {
  std::string dir = path.substr(0, path.size() - SourceFileName(path).size());
  if (dir.empty()) dir = ".";
  const std::string temporary = MakeTemporaryPath(dir, MakeRunTag(), "file");
  FileSlot file;
  SystemError error = CreateNewFile(temporary, file.Receive());
  if (error != kNoError) return error;
  error = WriteAll(file.Get(), text.data(), text.size());
  SystemError closed = file.Release();
  if (error == kNoError) error = closed;
  if (error == kNoError && executable) error = MakeExecutable(temporary);
  if (error == kNoError) error = RenameReplacing(temporary, path);
  if (error != kNoError) RemoveFile(temporary);
  return error;
}
