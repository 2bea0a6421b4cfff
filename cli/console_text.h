// The words of dorvenal-cli: names shown so that no message can be forged
// by a file's name, the one line for each stop and for each question.
#ifndef DORVENAL_CONSOLE_TEXT_H
#define DORVENAL_CONSOLE_TEXT_H

#include <cstdint>
#include <string>

#include "job_report.h"
#include "job_result.h"

// A name in quotes, as a POSIX shell would read it back: 'a b', "it's",
// and control characters in $'...' escapes, 'a'$'\r''b', so that the name
// can neither break a line nor move the cursor.
std::string QuotedName(const std::string& name);
// The name itself where nothing in it needs escaping, else QuotedName:
// for texts that show a name without quotes.
std::string ShownName(const std::string& name);

// What a stop line may tell besides the reason.
struct StopContext {
  bool join = false;
  uint64_t pieceBytes = 0;  // a size split's piece size
  std::string keyword;      // a keyword split's keyword
  bool verify = false;      // a check of a set (join is set too): nothing is joined
};

// The one line (without the program's name) that tells why a job stopped:
// the path concerned and, where the system gave a code, its own words.
std::string StopLine(const StopReason& reason, const StopContext& context);

// The progress line of a job (doing: "Splitting", "Joining"): bytes done of
// all, the percentage, and, once `seconds` have passed, the rate and the
// time left; of a stream (total 0), the pieces and bytes so far.
std::string ProgressLine(const std::string& doing, uint64_t piece, uint64_t done, uint64_t total, double seconds);

// A job's question on one line, without the prompt's "[y/N]".
std::string QuestionLine(const Question& question);

#endif
