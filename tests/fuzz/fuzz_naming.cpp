// The naming scheme on arbitrary texts: each function against a plain
// re-statement of its rule (lengths kept, exactly one character changed,
// the directory text never altered), the round trip of a file name through
// the pieces and the join, and the join's reading of a ".1" path, with both
// path separators.
//
// Input: a flags byte (separator, number), a byte giving where the target
// directory ends, then the target directory and the source path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "naming.h"
#include "text_format.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
  }
}

// The text with the last `from` turned into `to`, scanning from the end.
std::string ChangeLast(const std::string& text, char from, char to) {
  std::string changed = text;
  for (size_t i = changed.size(); i-- > 0;) {
    if (changed[i] == from) {
      changed[i] = to;
      break;
    }
  }
  return changed;
}

// Characters after the last separator; all of them without one.
std::string AfterLast(const std::string& text, char separator) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == separator) start = i + 1;
  }
  return text.substr(start);
}

bool Has(const std::string& text, char c) { return text.find(c) != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) return 0;
  const char separator = (input[0] & 1) ? '\\' : '/';
  const uint64_t number = 1 + ((input[0] >> 1) & 3) * (input[0] >> 3);  // often 1
  std::string rest(reinterpret_cast<const char*>(input + 2), size - 2);
  const size_t cut = input[1] % (rest.size() + 1);
  const std::string targetDir = rest.substr(0, cut);
  const std::string sourcePath = rest.substr(cut);

  // ReplaceLastDot and RestoreFileName change one character at most.
  std::string dotted = sourcePath;
  ReplaceLastDot(dotted);
  Check(dotted == ChangeLast(sourcePath, '.', '_'), "ReplaceLastDot");
  Check(RestoreFileName(sourcePath) == ChangeLast(sourcePath, '_', '.'), "RestoreFileName");

  // The stem: the directory text unaltered, one separator, the file name
  // with its last dot made an underscore.
  const std::string fileName = AfterLast(sourcePath, separator);
  const std::string stemName = ChangeLast(fileName, '.', '_');
  const bool addsSeparator = targetDir.empty() || targetDir.back() != separator;
  const std::string stem = BuildPieceStem(sourcePath, targetDir, separator);
  Check(stem == targetDir + (addsSeparator ? std::string(1, separator) : std::string()) + stemName, "BuildPieceStem");
  Check(stem.size() == targetDir.size() + (addsSeparator ? 1 : 0) + fileName.size(), "stem length");

  const std::string numberText = DecimalText(number);
  const std::string pieceName = MakePieceName(stem, numberText);
  Check(pieceName == stem + "." + numberText, "MakePieceName");
  Check(IsFirstPiecePath(pieceName) == (number == 1), "only piece 1 is a first piece");

  // The join reads the ".1" piece back into the directory and the stem name,
  // and restores the file name except in the two cases the scheme names:
  // an underscore after the last dot, or an underscore and no dot at all.
  const PieceSetName set = SplitFirstPiecePath(MakePieceName(stem, "1"), separator);
  Check(set.stemName == stemName, "stem name read back");
  Check(set.pieceDir + set.stemName == stem, "piece directory read back");
  Check(set.pieceDir.empty() || set.pieceDir.back() == separator, "piece directory ends in a separator");
  const size_t lastDot = fileName.rfind('.');
  const bool survives = lastDot != std::string::npos ? fileName.find('_', lastDot) == std::string::npos
                                                     : !Has(fileName, '_');
  Check((RestoreFileName(set.stemName) == fileName) == survives, "round trip of the file name");

  // Any ".1" path splits into parts that make it again; any other text
  // must at least not be read out of bounds.
  if (IsFirstPiecePath(rest)) {
    const PieceSetName any = SplitFirstPiecePath(rest, separator);
    Check(any.pieceDir + any.stemName + ".1" == rest, "parts of a .1 path");
    Check(!Has(any.stemName, separator), "stem name holds no separator");
  } else {
    SplitFirstPiecePath(rest, separator);
  }
  return 0;
}
