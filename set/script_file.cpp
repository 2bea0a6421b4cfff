#include "script_file.h"

#include "batch_file.h"
#include "naming.h"
#include "new_file.h"
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

// Every piece's SHA-256 against its line of the manifest, in order, before
// the first byte is written; the line after the pieces' is the whole
// file's. The digest is read from standard input, so that no name needs
// the escaping a tool gives names with line breaks.
std::string ChecksumCheckText(const std::string& manifestName) {
  return "sums=" + QuoteForShell(manifestName) + "\n"
         "[ -f \"$sums\" ] || fail \"missing $sums\"\n"
         "if command -v sha256sum >/dev/null 2>&1; then hash=sha256sum\n"
         "elif command -v shasum >/dev/null 2>&1; then hash='shasum -a 256'\n"
         "else hash=\n"
         "fi\n"
         "if [ -z \"$hash\" ]; then\n"
         "  printf 'join.sh: %s\\n' \"found neither sha256sum nor shasum: the pieces were not checked against $sums\" >&2\n"
         "else\n"
         "  exec 3< \"$sums\"\n"
         "  i=1\n"
         "  for size in $sizes; do\n"
         "    IFS= read -r line <&3 || fail \"$sums has no line for piece $stem.$i\"\n"
         "    line=${line#\\\\}\n"
         "    got=$($hash < \"$stem.$i\") && [ \"${got%% *}\" = \"${line%% *}\" ] ||\n"
         "      fail \"piece $stem.$i does not match its line in $sums\"\n"
         "    i=$((i + 1))\n"
         "  done\n"
         "  { IFS= read -r line <&3 && ! IFS= read -r line <&3; } || fail \"$sums does not end with one line for $name\"\n"
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
         "sizes='" + sizes + "'\n"
         "tmp=\"$name.dvtmp\"\n"
         "journal=" + QuoteForShell(MakeJournalName(stemName)) + "\n"
         "{ [ -e \"$journal\" ] || [ -L \"$journal\" ]; } &&\n"
         "  fail \"$journal records an unfinished change of this set: run Dorvenal in this folder to finish it\"\n"
         "{ [ -e \"$name\" ] || [ -L \"$name\" ]; } && fail \"$name is in the way: move it elsewhere and run join.sh again\"\n"
         "{ [ -e \"$tmp\" ] || [ -L \"$tmp\" ]; } && fail \"$tmp is in the way: remove it first\"\n"
         "i=1\n"
         "for size in $sizes; do\n"
         "  [ -f \"$stem.$i\" ] || fail \"missing piece $stem.$i\"\n"
         "  [ \"$(($(wc -c < \"$stem.$i\")))\" -eq \"$size\" ] || fail \"piece $stem.$i is not $size bytes long\"\n"
         "  i=$((i + 1))\n"
         "done\n" +
         (checksums ? ChecksumCheckText(MakeManifestName(stemName)) : "") +
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
         "  fail \"could not write $tmp\"\n"
         "fi\n"
         "mv -f -- \"$tmp\" \"$name\" || { rm -f -- \"$tmp\"; fail \"could not give $name its name\"; }\n"
         "printf 'Finished creating %s\\n' \"$name\"\n";
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
