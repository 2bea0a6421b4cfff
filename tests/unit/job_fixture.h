// A scratch folder, a recording dialog and a fresh session for each test
// that presses Split or Join the way the dialog does.
#ifndef DORVENAL_JOB_FIXTURE_H
#define DORVENAL_JOB_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_entries.h"
#include "fake_dialog.h"
#include "known_sets.h"
#include "resource_ids.h"
#include "session_state.h"
#include "source_view.h"
#include "test_files.h"

using Log = std::vector<std::string>;

// A known text with its "%p" filled in.
inline std::string Named(std::string text, const std::string& path) {
  size_t at = text.find("%p");
  if (at != std::string::npos) text.replace(at, 2, path);
  return text;
}

inline std::string Info(const std::string& text) { return "info: " + text; }

// A split's log: the buttons go off first and come back last.
inline Log AroundSplit(Log middle) {
  middle.insert(middle.begin(), {"enable 1 0", "enable 2 0"});
  middle.insert(middle.end(), {"enable 1 1", "enable 2 1"});
  return middle;
}

// The progress bar over pieces 1..n.
inline void AddProgress(Log& log, size_t n) {
  log.insert(log.end(), {"range 1 " + std::to_string(n), "step 1"});
  for (size_t k = 1; k <= n; ++k) log.push_back("pos " + std::to_string(k));
}

struct SplitInput {
  SplitMethod method;
  std::string value;
  bool kilobytes = false, batch = false;
};

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() : in(dir.Subdir("in")), out(dir.Subdir("out")) { gSession = SessionState(); }
  ~DialogTest() override { SetViewSizeForTests(0); }

  std::string In(const std::string& name) const { return in + kPathSeparator + name; }
  std::string Out(const std::string& name) const { return out + kPathSeparator + name; }

  // Fills the controls as a user would and presses Split, on a new dialog.
  void Split(const std::string& source, const SplitInput& input, const std::string& target,
             std::initializer_list<BoxAnswer> answers = {kAnswerYes}) {
    NewDialog(source, target, answers);
    dialog.SetText(IDC_VALUE, input.value);
    dialog.SetCheck(IDC_UNIT_KB, input.kilobytes);
    dialog.SetCheck(IDC_MAKE_BATCH, input.batch);
    gSession.splitMethod = input.method;
    RunSplitJob(dialog.handle());
  }

  void Join(const std::string& firstPiece, const std::string& target,
            std::initializer_list<BoxAnswer> answers = {kAnswerYes}) {
    NewDialog(firstPiece, target, answers);
    RunJoinJob(dialog.handle());
  }

  void NewDialog(const std::string& source, const std::string& target, std::initializer_list<BoxAnswer> answers) {
    dialog = FakeDialog();
    dialog.SetText(IDC_SOURCE_PATH, source);
    dialog.SetText(IDC_TARGET_PATH, target);
    for (BoxAnswer answer : answers) dialog.AnswerYesNo(answer);
  }

  // The contents of stem.1, stem.2, ... in a folder, as far as they go.
  static Log PiecesIn(const std::string& folder, const std::string& stemName) {
    Log pieces;
    std::string path;
    while (FileExists(path = folder + kPathSeparator + stemName + "." + std::to_string(pieces.size() + 1))) {
      pieces.push_back(ReadBytes(path));
    }
    return pieces;
  }

  TempDir dir;
  std::string in;
  std::string out;
  FakeDialog dialog;
};

#endif
