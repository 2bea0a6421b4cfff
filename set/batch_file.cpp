#include "batch_file.h"

#include <cstring>

#include "batch_codepage.h"
#include "batch_texts.h"
#include "naming.h"
#include "new_file.h"
#include "set_manifest.h"
#include "text_format.h"
#include "windows_names.h"

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

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// A number as 19 digits, so that cmd.exe compares sizes past its 32 bits
// as text.
std::string Padded(uint64_t number) {
  const std::string digits = DecimalText(number);
  return std::string(19 - digits.size(), '0') + digits;
}

// Lines that check every piece against the manifest before the first COPY.
std::string ChecksumCheckText(const std::string& sourceFileName, const std::string& stemName,
                              const std::string& manifest, uint64_t lastPiece) {
  const std::string quoted = EscapeQuoted(manifest), bare = EscapeUnquoted(manifest);
  const std::string pieces = DecimalText(lastPiece), name = EscapeUnquoted(sourceFileName);
  const std::string stem = EscapeQuoted(stemName), whole = EscapeQuoted(sourceFileName);
  // A line: 64 digits, two marks, the name, LF.
  uint64_t linesBytes = 64 + 2 + sourceFileName.size() + 1;
  for (uint64_t k = 1; k <= lastPiece; ++k) linesBytes += 64 + 2 + stemName.size() + 1 + DecimalText(k).size() + 1;
  const std::string recoveryBytes = DecimalText(64 + 2 + stemName.size() + 3 + 1);
  std::string text = FillTemplate(kBatchSumsStart, {quoted, bare, name, quoted, Padded(ManifestByteLimit(lastPiece))});
  text += FillTemplate("SET \"DVY=x%%DVW%%\"\r\n", {});
  for (char digit : std::string("0123456789abcdef")) text += FillTemplate("SET \"DVY=%%DVY:%s=%%\"\r\n", {{digit}});
  text += FillTemplate("IF NOT \"%%DVY%%\"==\"x\" SET DVHEX=%%DVN%%\r\n", {});
  // cmd.exe may read the manifest and the batch file in different code
  // pages (Wine: ANSI and OEM): only ASCII names compare alike.
  text += IsAscii(sourceFileName)
              ? FillTemplate(kBatchSumsNames, {pieces, pieces, stem, stem, pieces, stem, stem, whole, whole})
              : FillTemplate(kBatchSumsCount, {});
  text += FillTemplate(kBatchSumsForm, {quoted, DecimalText(lastPiece + 1), DecimalText(linesBytes), recoveryBytes});
  text += FillTemplate(kBatchSumsCertutil, {quoted}) + FillTemplate(kBatchSumsHash, {quoted}) +
          FillTemplate(kBatchSumsHashes, {});
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    const std::string piece = MakePieceName(stemName, DecimalText(k));
    text += FillTemplate(kBatchSumsHash, {EscapeQuoted(piece)});
    text += FillTemplate(kBatchSumsPiece,
                         {k == 1 ? "" : " skip=" + DecimalText(k - 1), quoted, EscapeUnquoted(piece), bare, name});
  }
  return text + FillTemplate(kBatchSumsEnd, {bare, name, bare, bare, bare});
}

}  // namespace

uint32_t BatchCodePage(uint32_t requested) { return requested != 0 ? requested : SystemBatchCodePage(); }

bool ConvertBatchText(const std::string& text, uint32_t codePage, std::string* converted) {
  // Every code page spells ASCII as ASCII: such names keep their bytes
  // whatever the code page, and need no conversion.
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (!ascii) return ConvertForBatch(text, codePage, converted);
  *converted = text;
  return true;
}

bool CheckBatchName(const std::string& sourceFileName, uint32_t codePage, StopReason* stop) {
  std::string spelled;
  if (!IsWindowsFileName(sourceFileName)) {
    *stop = StopReason{StopKind::kBatchNameInvalid, sourceFileName, kNoError};
  } else if (!ConvertBatchText(sourceFileName, codePage, &spelled)) {
    *stop = StopReason{StopKind::kBatchNameCodePage, sourceFileName, static_cast<SystemError>(codePage)};
  } else {
    return true;
  }
  return false;
}

std::string BuildJoinBatchText(const std::string& sourceFileName, const std::vector<uint64_t>& pieceSizes,
                               bool checksums) {
  const uint64_t lastPiece = pieceSizes.size();
  std::string stemName = sourceFileName;
  ReplaceLastDot(stemName);
  const std::string manifest = MakeManifestName(stemName), journal = MakeJournalName(stemName);
  const std::string name = EscapeUnquoted(sourceFileName);
  // The header's and the last ECHO's name stand unquoted, the others in quotes.
  std::string text = FillTemplate(kBatchHeader, {name});
  text += FillTemplate(kBatchCheckJournal, {EscapeQuoted(journal), EscapeUnquoted(journal), EscapeQuoted(journal)});
  for (uint64_t k = 1; k <= lastPiece + (checksums ? 1 : 0); ++k) {
    const std::string piece = k <= lastPiece ? MakePieceName(stemName, DecimalText(k)) : manifest;
    text += FillTemplate(kBatchCheckPiece, {EscapeQuoted(piece), EscapeUnquoted(piece), name, EscapeQuoted(piece)});
  }
  for (const std::string& inTheWay : {sourceFileName, std::string("dorvnl.tmp")}) {
    text += FillTemplate(kBatchCheckInTheWay, {EscapeQuoted(inTheWay), EscapeUnquoted(inTheWay), EscapeQuoted(inTheWay)});
  }
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    const std::string piece = MakePieceName(stemName, DecimalText(k)), size = DecimalText(pieceSizes[k - 1]);
    const std::string quoted = EscapeQuoted(piece);
    text += FillTemplate(kBatchCheckSize, {quoted, size, EscapeUnquoted(piece), size, name, quoted, size});
  }
  if (checksums) text += ChecksumCheckText(sourceFileName, stemName, manifest, lastPiece);
  for (uint64_t k = 1; k <= lastPiece; ++k) {
    text += FillTemplate(k == 1 ? kBatchFirstCopy : kBatchNextCopy, {EscapeQuoted(stemName), DecimalText(k)});
    text += FillTemplate(kBatchCheckCopy, {EscapeUnquoted(MakePieceName(stemName, DecimalText(k))), name});
  }
  text += FillTemplate(kBatchFooter, {EscapeQuoted(sourceFileName), name});
  return text + kBatchFailed + kBatchEnd;
}

bool WriteJoinBatch(const std::string& sourceFileName, const std::string& targetDir,
                    const std::vector<uint64_t>& pieceSizes, uint32_t codePage, bool checksums, FileHandle source,
                    const std::string& writePath,
                    StopReason* stop) {
  const std::string batchPath = JoinPath(targetDir, kJoinBatchName);
  if (source.value != kNoHandle && IsSameFile(batchPath, source)) {
    *stop = StopReason{StopKind::kBatchIsSource, batchPath, kNoError};
    return false;
  }
  // CheckBatchName has seen the name convert; the rest is ASCII.
  std::string text;
  if (!ConvertBatchText(BuildJoinBatchText(sourceFileName, pieceSizes, checksums), codePage, &text)) {
    *stop = StopReason{StopKind::kBatchNameCodePage, sourceFileName, static_cast<SystemError>(codePage)};
    return false;
  }
  SystemError error = WriteNewFile(writePath, text);
  if (error == kNoError) return true;
  *stop = Failure(Role::kBatch, Operation::kWrite, batchPath, error);
  return false;
}
