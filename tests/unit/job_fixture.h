// A scratch folder, a fake dialog and a fresh session for each job test.
#ifndef DORVENAL_JOB_FIXTURE_H
#define DORVENAL_JOB_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_dialog.h"
#include "job_outcome.h"
#include "join_job.h"
#include "resource_ids.h"
#include "session_state.h"
#include "split_job.h"
#include "source_view.h"
#include "test_files.h"

class JobTest : public ::testing::Test {
 protected:
  JobTest() : sourceDir(dir.Subdir("in")), targetDir(dir.Subdir("out")) { gSession = SessionState(); }
  ~JobTest() override { SetViewSizeForTests(0); }

  // Writes the source and fills the dialog as a user would for a split.
  std::string PrepareSplit(const std::string& name, const std::string& bytes, SplitMethod method,
                           const std::string& value, bool kilobytes = true) {
    std::string source = sourceDir + kPathSeparator + name;
    WriteBytes(source, bytes);
    dialog.SetText(IDC_SOURCE_PATH, source);
    dialog.SetText(IDC_TARGET_PATH, targetDir);
    dialog.SetText(IDC_VALUE, value);
    dialog.SetCheck(IDC_UNIT_KB, kilobytes);
    gSession.splitMethod = method;
    return source;
  }

  JobOutcome Split() { return PerformSplitJob(dialog.handle()); }

  JobOutcome Join(const std::string& firstPiece, const std::string& target) {
    dialog.SetText(IDC_SOURCE_PATH, firstPiece);
    dialog.SetText(IDC_TARGET_PATH, target);
    return PerformJoinJob(dialog.handle());
  }

  std::string Out(const std::string& name) const { return targetDir + kPathSeparator + name; }

  // The contents of name.1, name.2, ... in the target folder, as far as they go.
  std::vector<std::string> PiecesOf(const std::string& stemName) const {
    std::vector<std::string> pieces;
    for (int k = 1; FileExists(Out(stemName + "." + std::to_string(k))); ++k) {
      pieces.push_back(ReadBytes(Out(stemName + "." + std::to_string(k))));
    }
    return pieces;
  }

  TempDir dir;
  std::string sourceDir;
  std::string targetDir;
  FakeDialog dialog;
};

#endif
