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
#include "texts.h"

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

// A template of texts.h on one line, its names filled in as shown names.
std::string FillOneLine(const char* pattern, std::initializer_list<std::string> arguments) {
  return FillTemplate(OneLine(pattern), arguments);
}

// The completion, or the plan of a dry run, in the dialog's words.
std::string CompletionLine(const JobSummary& summary, bool join) {
  if (!summary.dryRun) return join ? kMsgJoinFinished : kMsgSplitFinished;
  if (join) {
    return FillOneLine(kDryRunJoin, {DecimalText(summary.pieces), DecimalText(summary.totalBytes),
                                     ShownName(summary.firstPiece), ShownName(summary.lastPiece),
                                     ShownName(summary.output)});
  }
  return FillOneLine(kDryRunSplit, {ShownName(summary.sourceName), DecimalText(summary.pieces),
                                    ShownName(summary.firstPiece), DecimalText(summary.firstPieceBytes),
                                    ShownName(summary.lastPiece), DecimalText(summary.lastPieceBytes)});
}

}  // namespace

ConsoleReport::ConsoleReport(const ConsoleSettings& settings)
    : settings_(settings), inputIsTerminal_(InputIsTerminal()), errorIsTerminal_(ErrorIsTerminal()) {}

void ConsoleReport::EndProgressLine() {
  if (drawnLength_ == 0) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  drawnLength_ = 0;
  drawnPercent_ = -1;
}

void ConsoleReport::Complain(const std::string& line) {
  EndProgressLine();
  // Both streams are flushed, so that the order survives when they meet.
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", kProgramName, line.c_str());
  std::fflush(stderr);
}

void ConsoleReport::Tell(const std::string& line) {
  EndProgressLine();
  if (settings_.quiet) return;
  const bool written = std::fprintf(stdout, "%s: %s\n", kProgramName, line.c_str()) >= 0;
  if (std::fflush(stdout) != 0 || !written) outputFailed_ = true;
}

Answer ConsoleReport::Ask(const std::string& question) {
  if (settings_.assumeYes) return Answer::kYes;
  EndProgressLine();
  std::fflush(stdout);
  const std::string line = OneLine(question);
  if (!inputIsTerminal_ || settings_.inputIsSource) {
    // A script gets no prompt it cannot answer: it would wait for ever.
    Complain(line);
    Complain(settings_.inputIsSource
                 ? "not asking: standard input is the source; give --yes to go on without a question"
                 : "not asking: standard input is not a terminal; give --yes to go on without a question");
    return Answer::kNo;
  }
  std::fprintf(stderr, "%s: %s [y/N] ", kProgramName, line.c_str());
  std::fflush(stderr);
  std::string answer;
  const bool answered = ReadLine(&answer);
  if (!answered) std::fputc('\n', stderr);
  return answered && MeansYes(answer) ? Answer::kYes : Answer::kNo;
}

void ConsoleReport::Warn(const Warning& warning) {
  switch (warning.kind) {
    case WarningKind::kStalePiece:
      Complain(FillOneLine(kMsgStalePiece, {ShownName(warning.path)}));
      break;
    case WarningKind::kChangeFinished:
      Complain(FillOneLine(kMsgChangeFinished, {ShownName(warning.path)}));
      break;
    case WarningKind::kChangeUndone:
      Complain(FillOneLine(kMsgChangeUndone, {ShownName(warning.path)}));
      break;
  }
}

void ConsoleReport::StartProgress(uint64_t pieces, uint64_t) {
  pieces_ = pieces;
  drawnPercent_ = -1;
}

void ConsoleReport::Progress(uint64_t piece, uint64_t) {
  // Only a person watching a terminal wants the line; logs do not.
  if (settings_.quiet || !errorIsTerminal_) return;
  // Redrawn when the figure changes (or, counting pieces of a stream, ten
  // times a second), so that millions of pieces do not cost their time in
  // writing to the terminal.
  std::string line = (settings_.job.join ? "Joining: piece " : "Splitting: piece ") + DecimalText(piece);
  if (pieces_ != 0) {
    const int percent = static_cast<int>(piece * 100 / pieces_);
    if (percent == drawnPercent_ && piece != pieces_) return;
    drawnPercent_ = percent;
    line += " of " + DecimalText(pieces_) + " (" + DecimalText(static_cast<uint64_t>(percent)) + "%)";
  } else {
    const auto now = std::chrono::steady_clock::now();
    if (drawnLength_ != 0 && now - drawnAt_ < std::chrono::milliseconds(100)) return;
    drawnAt_ = now;
  }
  // Blanks wipe what a longer earlier line left behind.
  std::string padded = line;
  if (padded.size() < drawnLength_) padded.append(drawnLength_ - padded.size(), ' ');
  std::fprintf(stderr, "\r%s", padded.c_str());
  std::fflush(stderr);
  drawnLength_ = line.size();
}

void ConsoleReport::Finished(const JobSummary& summary) {
  Tell(CompletionLine(summary, settings_.job.join));
  if (summary.dryRun && !settings_.folderToCreate.empty()) {
    Tell("Dry run: the folder " + QuotedName(settings_.folderToCreate) + " does not exist; --parents would create it.");
  }
}

void ConsoleReport::Stopped(const StopReason& reason) { Complain(StopLine(reason, settings_.job)); }
