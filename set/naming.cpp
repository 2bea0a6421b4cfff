#include "naming.h"

#include <chrono>
#include <cstdint>

#include "text_format.h"
#include "windows_names.h"

void ReplaceLastDot(std::string& text) {
  size_t dot = text.rfind('.');
  if (dot != std::string::npos) text[dot] = '_';
}

std::string RestoreFileName(const std::string& stemName) {
  std::string restored = stemName;
  size_t underscore = restored.rfind('_');
  if (underscore != std::string::npos) restored[underscore] = '.';
  return restored;
}

bool IsPlainFileName(const std::string& name, bool windowsRules) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return false;
  if (name.find('\0') != std::string::npos) return false;
  return !windowsRules || (name.find_first_of("\\:") == std::string::npos && !IsWindowsDeviceName(name));
}

std::string SourceFileName(const std::string& path, char separator) {
  size_t last = path.rfind(separator);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name, char separator) {
  // One allocation: a split makes a few of these for every piece.
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path = dir;
  if (path.empty() || path.back() != separator) path += separator;
  return path.append(name);
}

std::string BuildPieceStem(const std::string& sourcePath, const std::string& targetDir, char separator) {
  std::string stemName = SourceFileName(sourcePath, separator);
  ReplaceLastDot(stemName);
  return JoinPath(targetDir, stemName, separator);
}

std::string MakePieceName(const std::string& stem, const std::string& pieceNumberText) {
  std::string name;
  name.reserve(stem.size() + 1 + pieceNumberText.size());
  return name.append(stem).append(1, '.').append(pieceNumberText);
}

std::string RecoveryWhat(uint64_t number) { return "r" + DecimalText(number); }

std::string MakeRecoveryName(const std::string& stem, uint64_t number) {
  return MakePieceName(stem, RecoveryWhat(number));
}

bool IsFirstPiecePath(const std::string& path) {
  size_t n = path.size();
  return n >= 2 && path[n - 2] == '.' && path[n - 1] == '1';
}

PieceSetName SplitFirstPiecePath(const std::string& firstPiecePath, char separator) {
  PieceSetName name;
  std::string withoutNumber = firstPiecePath.substr(0, firstPiecePath.size() - 2);
  size_t last = withoutNumber.rfind(separator);
  if (last == std::string::npos) {
    name.stemName = withoutNumber;
  } else {
    name.pieceDir = withoutNumber.substr(0, last + 1);
    name.stemName = withoutNumber.substr(last + 1);
  }
  return name;
}

namespace {

// Whether the first `length` characters of `a` are the stem b.
bool SameStem(const std::string& a, size_t length, const std::string& b) {
  if (length != b.size()) return false;
  for (size_t i = 0; i < length; ++i) {
    char x = a[i];
    char y = b[i];
    // Windows names are the same in any case of their ASCII letters.
    if (kPathSeparator == '\\') {
      x = x >= 'a' && x <= 'z' ? static_cast<char>(x - 'a' + 'A') : x;
      y = y >= 'a' && y <= 'z' ? static_cast<char>(y - 'a' + 'A') : y;
    }
    if (x != y) return false;
  }
  return true;
}

// The number that text[from, to) spells as a piece number: 1 to 9 digits,
// no leading zero; 0 for anything else.
uint64_t PieceNumberIn(const std::string& text, size_t from, size_t to) {
  if (to <= from || to - from > 9 || text[from] == '0') return 0;
  uint64_t number = 0;
  for (size_t i = from; i < to; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    number = number * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  return number;
}

std::string Base36(uint64_t number) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[number % 36]);
    number /= 36;
  } while (number != 0);
  return digits;
}

}  // namespace

std::string MakeManifestName(const std::string& stem) { return stem + ".sha256"; }

std::string MakeJournalName(const std::string& stem) { return stem + ".dvjournal"; }

uint64_t PieceNumberOf(const std::string& fileName, const std::string& stemName) {
  // Read in place: a folder's every name is asked, and most are not pieces.
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || !SameStem(fileName, dot, stemName)) return 0;
  return PieceNumberIn(fileName, dot + 1, fileName.size());
}

std::string MakeRunTag() {
  // The process id tells runs in other processes apart; the count, runs
  // in this one; the clock, a process of the same id that left files.
  static uint32_t runsInThisProcess = 0;
  const uint64_t ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return "~dv" + Base36(CurrentProcessId()) + "-" + Base36(++runsInThisProcess) + Base36(ticks % (36 * 36 * 36));
}

std::string MakeKeptPath(const std::string& dir, const std::string& runTag, const std::string& what, char separator) {
  return JoinPath(dir, runTag + "." + what + ".dvkeep", separator);
}

std::string MakeTemporaryName(const std::string& runTag, const std::string& what) {
  std::string name;
  name.reserve(runTag.size() + what.size() + 7);
  return name.append(runTag).append(1, '.').append(what).append(".dvtmp");
}

uint64_t TemporaryNumberOf(const std::string& name, const std::string& runTag) {
  static const std::string kEnd = ".dvtmp";
  const size_t from = runTag.size() + 1;
  if (name.size() <= from + kEnd.size() || name.compare(0, runTag.size(), runTag) != 0 || name[runTag.size()] != '.' ||
      name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) != 0) {
    return 0;
  }
  return PieceNumberIn(name, from, name.size() - kEnd.size());
}

std::string MakeTemporaryPath(const std::string& dir, const std::string& runTag, const std::string& what,
                              char separator) {
  return JoinPath(dir, MakeTemporaryName(runTag, what), separator);
}
