#include "console_text.h"

#include "platform.h"
#include "text_format.h"

namespace {

// The bytes of one character at `at`: a UTF-8 sequence, or a single byte
// that begins none. *escape for what a terminal may act on or cannot show
// as written: C0, DEL, C1 (as UTF-8 or raw), and every byte of no valid
// UTF-8 sequence.
size_t CharacterAt(const std::string& text, size_t at, bool* escape) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  *escape = true;
  if (c < 0x80) {
    *escape = c < 0x20 || c == 0x7F;
    return 1;
  }
  // The lead byte gives the length and the range of the second byte, which
  // excludes overlong forms, surrogates and values past U+10FFFF.
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) length = 2;
  else if (c >= 0xE0 && c <= 0xEF) length = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
  else if (c >= 0xF0 && c <= 0xF4) length = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
  if (length == 0 || at + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[at + k]);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 1;
  }
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  *escape = c == 0xC2 && second <= 0x9F;
  return length;
}

bool HasControl(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    bool escape = false;
    at += CharacterAt(text, at, &escape);
    if (escape) return true;
  }
  return false;
}

// A control byte as C writes it: \r, \n, ... or three octal digits.
std::string Escape(unsigned char c) {
  static const char kLetters[] = "abtnvfr";  // 7 (BEL) to 13 (CR)
  if (c >= 7 && c <= 13) return std::string("\\") + kLetters[c - 7];
  std::string octal = "\\";
  for (int shift = 6; shift >= 0; shift -= 3) octal += static_cast<char>('0' + ((c >> shift) & 7));
  return octal;
}

const char* const kRoleWords[] = {
    "the file",       "the source",      "the piece",       "the joined file", "the checksum manifest",
    "the batch file", "the join script", "the folder lock", "the folder",      "the record of an unfinished change",
    "the kept copy",
};
const char* const kOperationWords[] = {"use",  "open",  "create", "list",   "look at", "read",
                                       "write", "sync", "rename", "remove", "lock", "look up"};

struct StopText {
  StopKind kind;
  // 0 any; 's' a split, 'j' a join or a check, 'v' a check.
  char when;
  // %p the path, %o the other path, %c ": " and the system's words (nothing
  // without a code), %d the code as a number, %n the piece size, %k the keyword,
  // %P the path as a list of names.
  const char* text;
};

// Rows with a `when` come before the row of the same kind without one.
const StopText kStopTexts[] = {
    {StopKind::kNone, 0, "stopped without giving a reason"},
    {StopKind::kSizeZero, 0, "the piece size and the piece count must be at least 1; nothing was written"},
    {StopKind::kSizeNotBelowSource, 0, "the piece size (%n bytes) is not below the size of %p; nothing was written"},
    {StopKind::kTooManyPieces, 0,
     "the split would need more than 999999999 pieces: choose fewer pieces or a larger size; nothing was written"},
    {StopKind::kKeywordEmpty, 0, "the keyword is empty; nothing was written"},
    {StopKind::kKeywordTooLong, 0, "the keyword is too long; nothing was written"},
    {StopKind::kCountOfStream, 0,
     "a split into a count of pieces cannot read standard input, whose size is not known before its end; nothing "
     "was written"},
    {StopKind::kBatchNameInvalid, 0,
     "JOIN.BAT cannot re-create %p: Windows does not allow that file name (--batch); nothing was written"},
    {StopKind::kBatchNameCodePage, 0,
     "JOIN.BAT cannot re-create %p: the Windows command prompt would read it in code page %d, which cannot spell "
     "it (--batch; --codepage chooses another); nothing was written"},
    {StopKind::kNamesTooLong, 0,
     "the piece names would be too long for the system, such as %p: choose a shorter file name or target folder; "
     "nothing was written"},
    {StopKind::kSourceNotRegular, 0, "%p is not a regular file"},
    {StopKind::kSourceEmpty, 0, "%p is empty: a file of 0 bytes cannot be split"},
    {StopKind::kSourceChanged, 0, "%p changed while it was being split; the split was stopped"},
    {StopKind::kNoFreeSpace, 's', "there is not enough free space in %p for the pieces; nothing was written"},
    {StopKind::kNoFreeSpace, 'j', "there is not enough free space in %p for the joined file; nothing was written"},
    {StopKind::kKeywordNotFound, 0, "%k does not occur in %p before its end or its first zero byte; nothing was written"},
    {StopKind::kPieceIsSource, 0, "the piece %p would be the source file itself; the split was stopped"},
    {StopKind::kScriptIsSource, 0,
     "join.sh would replace the source file %p, so it was not written; the pieces themselves are whole"},
    {StopKind::kBatchIsSource, 0,
     "JOIN.BAT would replace the source file %p, so it was not written; the pieces themselves are whole"},
    {StopKind::kNotFirstPiece, 0, "%p is not the first file of a split file set: give the piece whose name ends in .1"},
    {StopKind::kFirstPieceMissing, 0, "cannot find the piece %p%c"},
    {StopKind::kOutputIsPiece, 0, "the file to re-create, %p, is one of its own pieces; the join was stopped"},
    {StopKind::kPieceMissing, 0, "the piece %p is missing, but the set goes on with %o; nothing was written"},
    {StopKind::kPieceUnreadable, 0, "the piece %p is not a file that can be read%c; nothing was written"},
    {StopKind::kPieceChanged, 0, "the piece %p changed while it was being joined; the incomplete file was removed"},
    {StopKind::kPieceNotRegular, 0, "the piece %p is not a regular file; nothing was written"},
    {StopKind::kPieceEmpty, 0,
     "the piece %p is empty, but pieces before and after it are not: it was cut short; nothing was written"},
    {StopKind::kSetChanged, 0,
     "the set of %p changed while the question waited for its answer: another run replaced it; nothing was joined"},
    {StopKind::kLockNotAFile, 0,
     "%p stands where this folder's lock file belongs but is not one (a link, a folder or a special file): remove "
     "it and try again; nothing was written"},
    {StopKind::kManifestMissing, 0,
     "there is no checksum manifest %p beside the pieces, so the set cannot be checked (split --checksum writes one)"},
    {StopKind::kManifestInvalid, 'v',
     "the checksum manifest %p cannot be read, is damaged or lists other pieces than this set's%c; nothing was "
     "checked"},
    {StopKind::kManifestInvalid, 0,
     "the checksum manifest %p cannot be read, is damaged or lists other pieces than this set's%c; nothing was "
     "joined"},
    {StopKind::kPieceChecksum, 0,
     "the piece %p does not match its checksum in %o: it is damaged or belongs to another set; the join was stopped "
     "and the incomplete file removed"},
    {StopKind::kUnfinishedChange, 0,
     "the set has an unfinished change, recorded in %p: run a split of the file or a join of the set in this folder "
     "to finish it; nothing was done"},
    {StopKind::kOtherRunsSet, 0,
     "another split gave the set its names while this one ran (%p is one of its pieces): that set was left as it "
     "is and this split's pieces were removed"},
    {StopKind::kInterrupted, 'j', "the join was interrupted; the incomplete file was removed"},
    {StopKind::kInterrupted, 's',
     "the split was interrupted; the pieces it had written were removed and the target folder is as it was"},
    {StopKind::kLowMemory, 'j',
     "the system is running low on memory: the join was stopped and its incomplete file removed; an existing file "
     "of that name keeps its contents"},
    {StopKind::kLowMemory, 's',
     "the system is running low on memory: the split was stopped; the pieces it had written were removed and the "
     "target folder is as it was"},
    {StopKind::kRecoveryTooMany, 0,
     "the pieces and recovery pieces of %p would be %d: a set holds at most 256 of them in all; choose larger "
     "pieces or fewer recovery pieces (--recovery); nothing was written"},
    {StopKind::kTooManyLost, 0,
     "too many pieces are missing or damaged to rebuild the set: %P; its sound recovery pieces could have rebuilt %d; "
     "nothing was written"},
    {StopKind::kNoRecoveryPieces, 0,
     "the set %p has no recovery pieces to rebuild it from (split --recovery writes them); nothing was done"},
    {StopKind::kManifestNotRegular, 'v', "the checksum manifest %p cannot be read: it is not a regular file; nothing was checked"},
    {StopKind::kManifestNotRegular, 0,
     "the checksum manifest %p cannot be read: it is not a regular file; nothing was joined"},
    {StopKind::kNameNotPlain, 0,
     "the set cannot be joined under the name %p: it is not a plain file name (empty, '.', '..', a folder in it or, "
     "on Windows, a ':' or a device such as CON or AUX); nothing was written"},
    {StopKind::kSizesOverflow, 0,
     "the pieces from %p add up to more than 18446744073709551615 bytes, more than any file can hold; nothing was "
     "written"},
};

// What became of the job's files after a refused operation, by the job and
// how far it had got, which the file's role tells.
const char* FailureOutcome(const StopReason& reason, bool join) {
  const Role role = reason.role;
  if (reason.operation == Operation::kLookUp) return "nothing was written";
  if (join) {
    if (role == Role::kFolder || role == Role::kLock) return "nothing was written";
    if (role == Role::kOutput && reason.operation == Operation::kCreate) return "nothing was written";
    if (role == Role::kOutput || role == Role::kPiece) return "the incomplete file was removed";
    return "the join was stopped";
  }
  if (role == Role::kFolder || (role == Role::kSource && reason.operation != Operation::kRead)) {
    return "nothing was written";
  }
  // The set is replaced all or nothing: a stop before its end leaves the folder as it was.
  return "the split was stopped and the target folder is as it was";
}

std::string FailureLine(const StopReason& reason, bool join) {
  std::string line = std::string("cannot ") + kOperationWords[static_cast<int>(reason.operation)] + " " +
                     kRoleWords[static_cast<int>(reason.role)] + " " + QuotedName(reason.path);
  if (reason.code != kNoError) line += ": " + DescribeSystemError(reason.code);
  // Where the old set could not be put back, NotPutBack says what became of the files.
  return reason.otherCode != kNoError ? line : line + "; " + FailureOutcome(reason, join);
}

}  // namespace

std::string QuotedName(const std::string& name) {
  const bool control = HasControl(name);
  if (!control && name.find('\'') == std::string::npos) return "'" + name + "'";
  // As coreutils does: double quotes where they need no escape of their own.
  if (!control && name.find_first_of("\"$`\\!") == std::string::npos) return "\"" + name + "\"";
  std::string quoted;
  bool open = false;  // inside '...'
  for (size_t at = 0; at < name.size();) {
    bool escape = false;
    size_t length = CharacterAt(name, at, &escape);
    if (escape) {
      if (open) quoted += "'";
      open = false;
      quoted += "$'";
      while (escape) {
        for (; length != 0; --length, ++at) quoted += Escape(static_cast<unsigned char>(name[at]));
        length = at < name.size() ? CharacterAt(name, at, &escape) : (escape = false, 0);
      }
      quoted += "'";
      continue;
    }
    if (!open) quoted += "'";
    open = true;
    quoted += name[at] == '\'' ? std::string("'\\''") : name.substr(at, length);
    at += length;
  }
  if (open || quoted.empty()) quoted += quoted.empty() ? "''" : "'";
  return quoted;
}

std::string ShownName(const std::string& name) { return HasControl(name) ? QuotedName(name) : name; }

namespace {

std::string StopWords(const StopReason& reason, const StopContext& context);

// A failed change whose undoing failed too: which file stayed, and why.
std::string NotPutBack(const StopReason& reason) {
  if (reason.otherCode == kNoError) return std::string();
  return "; the old set could not be put back either, at " + QuotedName(reason.otherPath) + ": " +
         DescribeSystemError(reason.otherCode) + "; the change stays recorded: run a split or a join of this set in "
         "this folder to finish it";
}

}  // namespace

std::string StopLine(const StopReason& reason, const StopContext& context) {
  return StopWords(reason, context) + NotPutBack(reason);
}

namespace {

std::string StopWords(const StopReason& reason, const StopContext& context) {
  if (reason.kind == StopKind::kFailed) return FailureLine(reason, context.join);
  const char* text = nullptr;
  for (const StopText& row : kStopTexts) {
    const bool applies = row.when == 0 || (row.when == 'v' && context.verify) || (row.when == 'j' && context.join) ||
                         (row.when == 's' && !context.join);
    if (row.kind == reason.kind && applies) {
      text = row.text;
      break;
    }
  }
  if (text == nullptr) return "stopped for a reason without words (" + DecimalText(static_cast<uint64_t>(reason.kind)) + ")";
  // One pass, so that a name or a keyword holding "%p" stays as it is.
  std::string line;
  for (const char* at = text; *at != '\0'; ++at) {
    const char mark = at[0] == '%' ? at[1] : 0;
    if (mark == 'p') line += QuotedName(reason.path);
    else if (mark == 'P') line += ShownName(reason.path);
    else if (mark == 'o') line += QuotedName(reason.otherPath);
    else if (mark == 'k') line += QuotedName(context.keyword);
    else if (mark == 'n') line += DecimalText(context.pieceBytes);
    else if (mark == 'd') line += DecimalText(static_cast<uint32_t>(reason.code));
    else if (mark == 'c' && reason.code != kNoError) line += ": " + DescribeSystemError(reason.code);
    else if (mark != 'c') line += *at;
    if (mark != 0 && std::string("pPokcnd").find(mark) != std::string::npos) ++at;
  }
  return line;
}

}  // namespace

namespace {

// Bytes as a person reads them: 512 B, 9.7 KiB, 4.0 GiB (truncated, so
// that nothing shows as done before it is).
std::string SizeText(uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return DecimalText(bytes) + " B";
  int unit = 0;
  while (unit < 5 && (bytes >> (10 * (unit + 2))) != 0) ++unit;
  const uint64_t tenths = ((bytes >> (10 * unit)) & 1023) * 10 / 1024;
  return DecimalText(bytes >> (10 * (unit + 1))) + "." + DecimalText(tenths) + " " + kUnits[unit];
}

// 0:07, 12:34, 1:02:03.
std::string DurationText(uint64_t seconds) {
  auto twoDigits = [](uint64_t n) { return (n < 10 ? "0" : "") + DecimalText(n); };
  const std::string minutesAndSeconds = twoDigits(seconds / 60 % 60) + ":" + twoDigits(seconds % 60);
  if (seconds < 3600) return DecimalText(seconds / 60) + ":" + twoDigits(seconds % 60);
  return DecimalText(seconds / 3600) + ":" + minutesAndSeconds;
}

// Less than this, and a rate says more about the start than the job.
constexpr double kSecondsBeforeRate = 0.5;

}  // namespace

std::string ProgressLine(const std::string& doing, uint64_t piece, uint64_t done, uint64_t total, double seconds) {
  std::string line = doing + ": ";
  if (total == 0) {
    line += "piece " + DecimalText(piece) + ", " + SizeText(done);
  } else {
    const uint64_t percent = total > UINT64_MAX / 100 ? done / (total / 100) : done * 100 / total;
    line += SizeText(done) + " of " + SizeText(total) + " (" +
            DecimalText(percent) + "%)";
  }
  if (seconds < kSecondsBeforeRate || done == 0) return line;
  const double rate = static_cast<double>(done) / seconds;
  line += ", " + SizeText(rate < 1.8e19 ? static_cast<uint64_t>(rate) : UINT64_MAX) + "/s";
  if (total == 0 || done >= total) return line;
  return line + ", " + DurationText(static_cast<uint64_t>(static_cast<double>(total - done) / rate)) + " left";
}

std::string QuestionLine(const Question& question) {
  if (question.kind == QuestionKind::kJoin) {
    return "join " + DecimalText(question.pieces) + " pieces, " + DecimalText(question.totalBytes) +
           " bytes in all, into " + QuotedName(question.name) + " (an existing file of that name is replaced)?";
  }
  std::string line = "split " + QuotedName(question.name) + " into " + DecimalText(question.pieces) + " pieces of " +
                     DecimalText(question.pieceBytes) + " bytes";
  if (question.lastPieceBytes != question.pieceBytes) {
    line += ", the last of " + DecimalText(question.lastPieceBytes) + " bytes";
  }
  return line + "?";
}
