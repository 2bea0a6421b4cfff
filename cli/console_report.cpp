#include "console_report.h"

#include <cctype>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "stop_request.h"
#include "text_format.h"

namespace {

constexpr char kProgramName[] = "dorvenal-cli";

#ifdef _WIN32
// _isatty() is true for any character device, NUL included; only a console
// has a console mode.
bool IsTerminal(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}
bool InputIsTerminal() { return IsTerminal(STD_INPUT_HANDLE); }
bool ErrorIsTerminal() { return IsTerminal(STD_ERROR_HANDLE); }
#else
bool InputIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool ErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }
#endif

#ifdef _WIN32
// A console read ends when Ctrl+C is pressed.
int NextAnswerByte() { return StopRequested() ? EOF : std::fgetc(stdin); }
#else
// The next byte typed, or EOF at the end of input or once a stop is
// requested: a signal that comes just before the read would otherwise
// leave it waiting for ever, so the read waits in short turns.
int NextAnswerByte() {
  for (;;) {
    if (StopRequested()) return EOF;
    struct pollfd input = {STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 100);
    if (ready < 0 && errno != EINTR) return EOF;
    if (ready <= 0) continue;
    unsigned char byte = 0;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got == 0 || errno != EINTR) return EOF;
  }
}
#endif

// A whole line typed, without its line end; false at the end of input or
// when a stop was requested.
bool ReadLine(std::string* line) {
  line->clear();
  int c = 0;
  while ((c = NextAnswerByte()) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return c != EOF || !line->empty();
}

bool MeansYes(const std::string& answer) {
  std::string word;
  for (char c : answer) {
    if (c != ' ' && c != '\t') word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return word == "y" || word == "yes";
}

// The completion as the program has always said it.
constexpr char kSplitFinished[] = "Finished Splitting Successfully !!!";
constexpr char kJoinFinished[] = "Finished Joining Successfully !!!";
constexpr char kDryRunSplit[] =
    "Dry run: %s would be split into %d pieces, from %s (%d bytes) to %s (%d bytes). Nothing was written.";
constexpr char kDryRunJoin[] =
    "Dry run: %d pieces, %d bytes in all, from %s to %s would be joined into %s. Nothing was written.";
constexpr char kStalePiece[] =
    "The target folder also holds %s from an earlier split !! A join would take it as well: please remove it before "
    "joining.";
constexpr char kChangeFinished[] =
    "an unfinished change of the set %s was found and finished: the set is the new one, whole";
constexpr char kChangeUndone[] =
    "an unfinished change of the set %s was found and undone: the set is as it was before that change";

// The completion, or the plan of a dry run; names as shown names.
std::string CompletionLine(const JobSummary& summary, bool join) {
  if (!summary.dryRun) return join ? kJoinFinished : kSplitFinished;
  if (join) {
    return FillTemplate(kDryRunJoin, {DecimalText(summary.pieces), DecimalText(summary.totalBytes),
                                     ShownName(summary.firstPiece), ShownName(summary.lastPiece),
                                     ShownName(summary.output)});
  }
  return FillTemplate(kDryRunSplit, {ShownName(summary.sourceName), DecimalText(summary.pieces),
                                    ShownName(summary.firstPiece), DecimalText(summary.firstPieceBytes),
                                    ShownName(summary.lastPiece), DecimalText(summary.lastPieceBytes)});
}

}  // namespace

ConsoleReport::ConsoleReport(const ConsoleSettings& settings)
    : settings_(settings), inputIsTerminal_(InputIsTerminal()), errorIsTerminal_(ErrorIsTerminal()) {}

void ConsoleReport::Say(const std::string& text) {
  const bool written = std::fputs(text.c_str(), stderr) >= 0;
  if (std::fflush(stderr) != 0 || !written) errorFailed_ = true;
}

void ConsoleReport::EndProgressLine() {
  if (drawnLength_ == 0) return;
  Say("\n");
  drawnLength_ = 0;
}

void ConsoleReport::Complain(const std::string& line) {
  EndProgressLine();
  // Both streams are flushed, so that the order survives when they meet.
  std::fflush(stdout);
  Say(std::string(kProgramName) + ": " + line + "\n");
}

void ConsoleReport::Tell(const std::string& line) {
  EndProgressLine();
  if (settings_.quiet) return;
  const bool written = std::fprintf(stdout, "%s: %s\n", kProgramName, line.c_str()) >= 0;
  if (std::fflush(stdout) != 0 || !written) outputFailed_ = true;
}

Answer ConsoleReport::Ask(const Question& question) {
  if (settings_.assumeYes) return Answer::kYes;
  EndProgressLine();
  std::fflush(stdout);
  const std::string line = QuestionLine(question);
  if (!inputIsTerminal_ || settings_.inputIsSource) {
    // A script gets no prompt it cannot answer: it would wait for ever.
    Complain(line);
    Complain(settings_.inputIsSource
                 ? "not asking: standard input is the source; give --yes to go on without a question"
                 : "not asking: standard input is not a terminal; give --yes to go on without a question");
    return Answer::kNo;
  }
  Say(std::string(kProgramName) + ": " + line + " [y/N] ");
  std::string answer;
  const bool answered = ReadLine(&answer);
  if (!answered) Say("\n");
  return answered && MeansYes(answer) ? Answer::kYes : Answer::kNo;
}

void ConsoleReport::Warn(const Warning& warning) {
  switch (warning.kind) {
    case WarningKind::kStalePiece:
      Complain(FillTemplate(kStalePiece, {ShownName(warning.path)}));
      break;
    case WarningKind::kWaitingForLock:
      Complain("waiting for another run in this folder to let go of its lock " + QuotedName(warning.path));
      break;
    case WarningKind::kChangeFinished:
      Complain(FillTemplate(kChangeFinished, {QuotedName(warning.path)}));
      break;
    case WarningKind::kChangeUndone:
      Complain(FillTemplate(kChangeUndone, {QuotedName(warning.path)}));
      break;
    case WarningKind::kPiecesRebuilt:
      Complain("rebuilt from the recovery pieces: " + ShownName(warning.path));
      break;
  }
}

void ConsoleReport::StartProgress(uint64_t, uint64_t bytes) {
  bytes_ = bytes;
  startedAt_ = std::chrono::steady_clock::now();
}

void ConsoleReport::Progress(uint64_t piece, uint64_t bytes) {
  // Only a person watching a terminal wants the line; logs do not.
  if (settings_.quiet || !errorIsTerminal_) return;
  // Redrawn at most ten times a second, and once more at the end, so that
  // millions of pieces do not cost their time in writing to the terminal.
  const auto now = std::chrono::steady_clock::now();
  const bool end = bytes_ != 0 && bytes >= bytes_;
  if (drawnLength_ != 0 && (end ? bytes == drawnDone_ : now - drawnAt_ < std::chrono::milliseconds(100))) return;
  drawnAt_ = now;
  drawnDone_ = bytes;
  const std::string line = ProgressLine(settings_.job.join ? "Joining" : "Splitting", piece, bytes, bytes_,
                                        std::chrono::duration<double>(now - startedAt_).count());
  // Blanks wipe what a longer earlier line left behind.
  std::string padded = line;
  if (padded.size() < drawnLength_) padded.append(drawnLength_ - padded.size(), ' ');
  Say("\r" + padded);
  drawnLength_ = line.size();
}

void ConsoleReport::Finished(const JobSummary& summary) {
  Tell(CompletionLine(summary, settings_.job.join));
  if (summary.dryRun && !settings_.folderToCreate.empty()) {
    Tell("Dry run: the folder " + QuotedName(settings_.folderToCreate) + " does not exist; --parents would create it.");
  }
}

void ConsoleReport::Stopped(const StopReason& reason) { Complain(StopLine(reason, settings_.job)); }
