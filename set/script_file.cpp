#include "script_file.h"

#include "batch_file.h"
#include "checksum_manifest.h"
#include "naming.h"
#include "new_file.h"
#include "set_manifest.h"
#include "text_format.h"

namespace {

// Single quotes keep every byte but the quote itself, which is closed,
// escaped and reopened.
std::string QuoteForShell(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The length of the UTF-8 sequence at text[at] that a terminal shows as a
// character: 0 for a control (C0, DEL, C1) or a byte of no valid sequence.
size_t PrintableLength(const std::string& text, size_t at) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  if (c < 0x80) return c >= 0x20 && c != 0x7F ? 1 : 0;
  const size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  // The second byte's range excludes overlong forms, surrogates, code
  // points past U+10FFFF and the C1 controls.
  const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high || (c == 0xC2 && second <= 0x9F)) return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// A name as join.sh's messages show it: every byte a terminal would act on
// or could not show as C writes it (\n, \r, or three octal digits), so that
// the names are escaped once, here, and never by the shell.
std::string ShownName(const std::string& name) {
  static const char kLetters[] = "abtnvfr";  // 7 (BEL) to 13 (CR)
  std::string shown;
  for (size_t at = 0; at < name.size();) {
    const size_t length = PrintableLength(name, at);
    if (length != 0) {
      shown += name.substr(at, length);
      at += length;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(name[at++]);
    shown += '\\';
    if (c >= 7 && c <= 13) {
      shown += kLetters[c - 7];
      continue;
    }
    for (int shift = 6; shift >= 0; shift -= 3) shown += static_cast<char>('0' + ((c >> shift) & 7));
  }
  return shown;
}

// A name as the manifest's line writes it (see FormatChecksumLine).
std::string NameInLine(const std::string& name) {
  const std::string line = FormatChecksumLine(ChecksumEntry{Sha256Digest(), name});
  return line.substr(line.find("  ") + 2, line.size() - line.find("  ") - 3);
}

// Before the first byte is written: the manifest must be a regular file no
// larger than a manifest of this set, holding exactly its lines in order
// (the pieces', any recovery pieces', the whole file's, with this set's
// names, hex in either case); then every piece's SHA-256 against its line.
// A line's hash is read from standard input, so that no name needs the
// escaping a tool gives names with line breaks; the whole file's line is
// for checking the joined file later, and is not hashed here.
std::string ChecksumCheckText(const std::string& stemName, const std::string& sourceFileName, uint64_t pieces) {
  const std::string escape = NameInLine(stemName) != stemName ? "\\" : "";
  return "sums=\"$stem.sha256\" shown_sums=\"$shown_stem.sha256\"\n"
         "{ [ -e \"$sums\" ] || [ -L \"$sums\" ]; } || fail \"missing $shown_sums\"\n"
         "[ -f \"$sums\" ] || fail \"$shown_sums cannot be read: it is not a regular file\"\n"
         "bad() { fail \"$shown_sums is damaged or lists other pieces than this set's\"; }\n"
         "[ \"$(($(wc -c < \"$sums\")))\" -le " + DecimalText(ManifestByteLimit(pieces)) + " ] || bad\n"
         "# Lengths in bytes, whatever the locale.\n"
         "LC_ALL=C\n"
         "esc=" + QuoteForShell(escape) + " line_stem=" + QuoteForShell(NameInLine(stemName)) +
         " line_name=" + QuoteForShell(NameInLine(sourceFileName)) + "\n"
         "h='[0-9A-Fa-f]' && h=$h$h$h$h && h=$h$h$h$h && h=$h$h$h$h\n"
         "cr=$(printf '\\r')\n"
         "next_line() {\n"
         "  IFS= read -r line <&3 || return 1\n"
         "  bytes=$((bytes + ${#line} + 1)) && line=${line%\"$cr\"}\n"
         "}\n"
         "# Whether the line read is the one of the file named $1 (as a line writes it).\n"
         "listed() {\n"
         "  case $line in\n"
         "    \"$esc\"$h\"  $1\"|\"$esc\"$h\" *$1\"|\\\\$h\"  $1\"|\\\\$h\" *$1\") return 0 ;;\n"
         "  esac\n"
         "  return 1\n"
         "}\n"
         "exec 3< \"$sums\" && bytes=0 && i=1\n"
         "for size in $sizes; do\n"
         "  next_line && listed \"$line_stem.$i\" || bad\n"
         "  i=$((i + 1))\n"
         "done\n"
         "rebuild= && r=1\n"
         "while next_line && listed \"$line_stem.r$r\"; do\n"
         "  rebuild=': dorvenal-cli join (or Dorvenal) can rebuild it from the recovery pieces' && r=$((r + 1))\n"
         "done\n"
         "listed \"$line_name\" && ! next_line && [ \"$bytes\" -eq \"$(($(wc -c < \"$sums\")))\" ] || bad\n"
         "exec 3<&-\n"
         "if command -v sha256sum >/dev/null 2>&1; then hash=sha256sum\n"
         "elif command -v shasum >/dev/null 2>&1; then hash='shasum -a 256'\n"
         "else hash=\n"
         "fi\n"
         "if [ -z \"$hash\" ]; then\n"
         "  printf 'join.sh: %s\\n' \"found neither sha256sum nor shasum: the pieces were not checked against $shown_sums\" >&2\n"
         "else\n"
         "  exec 3< \"$sums\"\n"
         "  i=1\n"
         "  for size in $sizes; do\n"
         "    next_line && sum=${line#\\\\} && sum=${sum%% *}\n"
         "    case $sum in *[A-F]*) sum=$(printf %s \"$sum\" | tr A-F a-f) ;; esac\n"
         "    got=$($hash < \"$stem.$i\") && [ \"${got%% *}\" = \"$sum\" ] ||\n"
         "      fail \"piece $shown_stem.$i does not match its line in $shown_sums$rebuild\"\n"
         "    i=$((i + 1))\n"
         "  done\n"
         "  exec 3<&-\n"
         "fi\n";
}

}  // namespace

std::string BuildJoinScriptText(const std::string& sourceFileName, const std::vector<uint64_t>& pieceSizes,
                                bool checksums) {
  std::string stemName = sourceFileName;
  ReplaceLastDot(stemName);
  std::string sizes;
  for (uint64_t size : pieceSizes) sizes += (sizes.empty() ? "" : " ") + DecimalText(size);
  return "#!/bin/sh\n"
         "# Re-creates the split file from its pieces, which lie beside this script.\n"
         "# Every piece is checked before the first byte is written, and nothing\n"
         "# is ever written through a link.\n"
         "fail() { printf 'join.sh: %s\\n' \"$*\" >&2; exit 1; }\n"
         "# The folder's name may end in line breaks, which $(...) would drop.\n"
         "dir=$(dirname -- \"$0\"; echo .) && dir=${dir%??} && cd -- \"$dir\" || fail \"cannot enter the script's folder\"\n"
         "stem=" + QuoteForShell(stemName) + "\n"
         "name=" + QuoteForShell(sourceFileName) + "\n"
         "# The names as the messages show them.\n"
         "shown_stem=" + QuoteForShell(ShownName(stemName)) + "\n"
         "shown_name=" + QuoteForShell(ShownName(sourceFileName)) + "\n"
         "sizes='" + sizes + "'\n"
         "tmp=\"$name.dvtmp\"\n"
         "journal=\"$stem.dvjournal\"\n"
         "{ [ -e \"$journal\" ] || [ -L \"$journal\" ]; } &&\n"
         "  fail \"$shown_stem.dvjournal records an unfinished change of this set: run Dorvenal in this folder to finish it\"\n"
         "{ [ -e \"$name\" ] || [ -L \"$name\" ]; } && fail \"$shown_name is in the way: move it elsewhere and run join.sh again\"\n"
         "{ [ -e \"$tmp\" ] || [ -L \"$tmp\" ]; } && fail \"$shown_name.dvtmp is in the way: remove it first\"\n"
         "i=1\n"
         "for size in $sizes; do\n"
         "  [ -f \"$stem.$i\" ] || fail \"missing piece $shown_stem.$i\"\n"
         "  [ \"$(($(wc -c < \"$stem.$i\")))\" -eq \"$size\" ] || fail \"piece $shown_stem.$i is not $size bytes long\"\n"
         "  i=$((i + 1))\n"
         "done\n" +
         (checksums ? ChecksumCheckText(stemName, sourceFileName, pieceSizes.size()) : "") +
         "created=\n"
         "copy() {\n"
         "  created=1\n"
         "  i=1\n"
         "  for size in $sizes; do\n"
         "    cat -- \"$stem.$i\" || return 1\n"
         "    i=$((i + 1))\n"
         "  done\n"
         "}\n"
         "# noclobber: the temporary file is created anew or not at all.\n"
         "set -C\n"
         "if ! copy > \"$tmp\"; then\n"
         "  [ -n \"$created\" ] && rm -f -- \"$tmp\"\n"
         "  fail \"could not write $shown_name.dvtmp\"\n"
         "fi\n"
         "mv -f -- \"$tmp\" \"$name\" || { rm -f -- \"$tmp\"; fail \"could not give $shown_name its name\"; }\n"
         "printf 'Finished creating %s\\n' \"$shown_name\"\n";
}

bool WriteJoinScript(const std::string& sourceFileName, const std::string& targetDir,
                     const std::vector<uint64_t>& pieceSizes, bool checksums, FileHandle source,
                     const std::string& writePath, StopReason* stop) {
  const std::string scriptPath = JoinPath(targetDir, kJoinScriptName);
  if (source.value != kNoHandle && IsSameFile(scriptPath, source)) {
    *stop = StopReason{StopKind::kScriptIsSource, scriptPath};
    return false;
  }
  SystemError error = WriteNewFile(writePath, BuildJoinScriptText(sourceFileName, pieceSizes, checksums));
  if (error == kNoError) error = MakeExecutable(writePath);
  if (error == kNoError) return true;
  RemoveFile(writePath);
  *stop = Failure(Role::kScript, Operation::kWrite, scriptPath, error);
  return false;
}
