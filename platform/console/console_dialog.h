// The dialog side for a terminal. The controls' values come from the
// command line; information boxes become lines on the standard streams,
// yes/no boxes a prompt on the terminal, the progress bar a progress line.
#ifndef DORVENAL_CONSOLE_DIALOG_H
#define DORVENAL_CONSOLE_DIALOG_H

#include <cstdint>
#include <map>
#include <string>

#include "platform.h"

class ConsoleDialog {
 public:
  ConsoleDialog();
  ConsoleDialog(const ConsoleDialog&) = delete;
  ConsoleDialog& operator=(const ConsoleDialog&) = delete;

  Dialog* handle();

  void SetText(int controlId, const std::string& text) { texts_[controlId] = text; }
  void SetCheck(int controlId, bool checked) { checks_[controlId] = checked; }
  // Every yes/no box is answered Yes without asking.
  void AssumeYes(bool yes) { assumeYes_ = yes; }

  // Error boxes shown so far (completion messages are not errors).
  int errorsShown() const { return errorsShown_; }
  // A yes/no box was answered No, by the user or because nobody could be asked.
  bool declined() const { return declined_; }

  // Ends an open progress line, so that the next text starts on a line of its own.
  void EndProgressLine();
  // A line of the front end's own, on standard error.
  void Complain(const std::string& text);

  // Used by the platform functions.
  std::string Text(int controlId) const;
  bool Checked(int controlId) const;
  void Show(const std::string& text);
  BoxAnswer Ask(const std::string& text);
  void SetRange(uint32_t minimum, uint32_t maximum);
  void SetPosition(uint32_t position);

 private:
  std::map<int, std::string> texts_;
  std::map<int, bool> checks_;
  bool assumeYes_ = false;
  bool inputIsTerminal_ = false;
  bool errorIsTerminal_ = false;
  int errorsShown_ = 0;
  bool declined_ = false;

  uint32_t rangeMinimum_ = 0;
  uint32_t rangeMaximum_ = 0;
  int drawnPercent_ = -1;
  size_t drawnLength_ = 0;  // 0 when no progress line is open
};

#endif
