// The words of dorvenal-cli: names shown so that no message can be forged
// by a file's name, box texts on one line, and the one line for each stop.
#ifndef DORVENAL_CONSOLE_TEXT_H
#define DORVENAL_CONSOLE_TEXT_H

#include <cstdint>
#include <string>

#include "job_result.h"

// A name in quotes, as a POSIX shell would read it back: 'a b', "it's",
// and control characters in $'...' escapes, 'a'$'\r''b', so that the name
// can neither break a line nor move the cursor.
std::string QuotedName(const std::string& name);
// The name itself where nothing in it needs escaping, else QuotedName:
// for texts that show a name without quotes.
std::string ShownName(const std::string& name);

// A box's text on one line: its line breaks and the blanks around them
// become one blank; any other control character shows as an escape.
std::string OneLine(const std::string& text);

// What a stop line may tell besides the reason.
struct StopContext {
  bool join = false;
  uint64_t pieceBytes = 0;  // a size split's piece size
  std::string keyword;      // a keyword split's keyword
};

// The one line (without the program's name) that tells why a job stopped:
// the path concerned and, where the system gave a code, its own words.
std::string StopLine(const StopReason& reason, const StopContext& context);

#endif
