// A dialog for tests: controls whose text and check state the test sets,
// and a log of everything the jobs do to it, in order.
#ifndef DORVENAL_FAKE_DIALOG_H
#define DORVENAL_FAKE_DIALOG_H

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "dialog_ops.h"

class FakeDialog {
 public:
  FakeDialog();
  ~FakeDialog();

  Dialog* handle();

  void SetText(int controlId, const std::string& text) { texts_[controlId] = text; }
  void SetCheck(int controlId, bool checked) { checks_[controlId] = checked; }
  // Answers for the coming yes/no boxes, in order. A box with no answer
  // left is answered No and recorded as unexpected.
  void AnswerYesNo(BoxAnswer answer) { answers_.push_back(answer); }

  // Every call, in order: "info: <text>", "yesno: <text>", "focus <id>",
  // "enable <id> <0|1>", "range <min> <max>", "step <n>", "pos <n>".
  const std::vector<std::string>& log() const { return log_; }
  // The texts of the information boxes alone, and of the yes/no boxes.
  std::vector<std::string> InfoBoxes() const;
  std::vector<std::string> Questions() const;
  // The log entries that start with a prefix ("pos ", "focus ", ...).
  std::vector<std::string> Entries(const std::string& prefix) const;
  bool unexpectedQuestion() const { return unexpectedQuestion_; }
  void ClearLog() { log_.clear(); }

  // Used by the platform functions.
  std::string Text(int controlId) const;
  bool Checked(int controlId) const;
  void Record(const std::string& entry) { log_.push_back(entry); }
  BoxAnswer NextAnswer();

 private:
  std::map<int, std::string> texts_;
  std::map<int, bool> checks_;
  std::deque<BoxAnswer> answers_;
  std::vector<std::string> log_;
  bool unexpectedQuestion_ = false;
};

#endif
