#include "join_script.h"

#include "join_batch.h"
#include "naming.h"
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

}  // namespace

std::string BuildJoinScriptText(const std::string& sourceFileName, uint64_t lastPiece) {
  std::string stemName = sourceFileName;
  ReplaceLastDot(stemName);
  return "#!/bin/sh\n"
         "# Re-creates the split file from its pieces; they lie beside this script.\n"
         "cd -- \"$(dirname -- \"$0\")\" || exit 1\n"
         "stem=" + QuoteForShell(stemName) + "\n"
         "name=" + QuoteForShell(sourceFileName) + "\n"
         "last=" + DecimalText(lastPiece) + "\n"
         "i=1\n"
         "while [ \"$i\" -le \"$last\" ]; do\n"
         "  [ -f \"$stem.$i\" ] || { printf 'join.sh: missing piece %s\\n' \"$stem.$i\" >&2; exit 1; }\n"
         "  i=$((i + 1))\n"
         "done\n"
         "i=1\n"
         "while [ \"$i\" -le \"$last\" ]; do\n"
         "  cat -- \"$stem.$i\" || exit 1\n"
         "  i=$((i + 1))\n"
         "done >\"$name.dvtmp\" || { rm -f -- \"$name.dvtmp\"; exit 1; }\n"
         "mv -f -- \"$name.dvtmp\" \"$name\" || exit 1\n"
         "printf 'Finished creating %s\\n' \"$name\"\n";
}

bool WriteJoinScript(const std::string& sourceFileName, const std::string& targetDir, uint64_t lastPiece,
                     FileHandle source, StopReason* stop) {
  const std::string scriptPath = JoinPath(targetDir, kJoinScriptName);
  SystemError error = kNoError;
  if (source.value == kNoHandle || !IsSameFile(scriptPath, source)) {
    error = WriteWholeFile(scriptPath, BuildJoinScriptText(sourceFileName, lastPiece), true);
    if (error == kNoError) return true;
  }
  *stop = StopReason{StopKind::kScriptWrite, scriptPath, error};
  return false;
}
