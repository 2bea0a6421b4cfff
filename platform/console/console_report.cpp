#include "console_report.h"

#include <cctype>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

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

// The completion messages are the program's output; everything else it
// shows is a complaint.
bool IsCompletion(const std::string& text) {
  return text == kMsgSplitFinished || text == kMsgJoinFinished || text.rfind(kDryRunLead, 0) == 0;
}

// A box's text on one line: its line breaks and the blanks around them
// become one blank.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    bool blank = c == '\n' || c == ' ';
    if (blank && (line.empty() || line.back() == ' ')) continue;
    line += blank ? ' ' : c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// A whole line from the stream without its line end; false at the end of input.
bool ReadLine(std::FILE* stream, std::string* line) {
  line->clear();
  int c = 0;
  while ((c = std::fgetc(stream)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
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

}  // namespace

ConsoleReport::ConsoleReport(const std::string& activity)
    : activity_(activity), inputIsTerminal_(InputIsTerminal()), errorIsTerminal_(ErrorIsTerminal()) {}

void ConsoleReport::EndProgressLine() {
  if (drawnLength_ == 0) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  drawnLength_ = 0;
  drawnPercent_ = -1;
}

void ConsoleReport::Complain(const std::string& text) {
  EndProgressLine();
  std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
  std::fflush(stderr);
}

void ConsoleReport::ShowInfo(const std::string& text) {
  EndProgressLine();
  // Both streams are flushed, so that the order survives when they meet.
  std::fflush(stdout);
  const bool completion = IsCompletion(text);
  if (completion && quiet_) return;
  std::FILE* stream = completion ? stdout : stderr;
  if (stream == stderr) ++errorsShown_;
  bool written = std::fprintf(stream, "%s: %s\n", kProgramName, OneLine(text).c_str()) >= 0;
  if (std::fflush(stream) != 0 || !written) {
    if (stream == stdout) outputFailed_ = true;
  }
}

BoxAnswer ConsoleReport::AskYesNo(const std::string& text) {
  if (assumeYes_) return kAnswerYes;
  EndProgressLine();
  std::fflush(stdout);
  if (!inputIsTerminal_) {
    // A script gets no prompt it cannot answer: it would wait for ever.
    Complain(OneLine(text));
    Complain("not asking: standard input is not a terminal; give --yes to go on without a question");
    declined_ = true;
    return kAnswerNo;
  }
  std::fprintf(stderr, "%s: %s [y/N] ", kProgramName, OneLine(text).c_str());
  std::fflush(stderr);
  std::string answer;
  bool answered = ReadLine(stdin, &answer);
  if (!answered) std::fputc('\n', stderr);
  if (answered && MeansYes(answer)) return kAnswerYes;
  declined_ = true;
  return kAnswerNo;
}

void ConsoleReport::SetProgressRange(uint32_t minimum, uint32_t maximum) {
  rangeMinimum_ = minimum;
  rangeMaximum_ = maximum;
  drawnPercent_ = -1;
}

void ConsoleReport::SetProgressPos(uint32_t position) {
  // Only a person watching a terminal wants the line; logs do not.
  if (quiet_ || !errorIsTerminal_ || rangeMaximum_ < rangeMinimum_ || rangeMaximum_ == 0) return;
  uint64_t percent = uint64_t{position} * 100 / rangeMaximum_;
  // Redrawn when the figure changes, so a split into millions of pieces
  // does not spend its time writing to the terminal.
  if (static_cast<int>(percent) == drawnPercent_ && position != rangeMaximum_) return;
  drawnPercent_ = static_cast<int>(percent);
  std::string line = activity_ + ": piece " +
                     DecimalText(position) + " of " + DecimalText(rangeMaximum_) + " (" + DecimalText(percent) +
                     "%)";
  // Blanks wipe what a longer earlier line left behind.
  std::string padded = line;
  if (padded.size() < drawnLength_) padded.append(drawnLength_ - padded.size(), ' ');
  std::fprintf(stderr, "\r%s", padded.c_str());
  std::fflush(stderr);
  drawnLength_ = line.size();
}
