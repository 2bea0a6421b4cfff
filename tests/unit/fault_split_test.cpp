// A target that fills up in the middle of a split, made real: the path of
// piece k is a link to /dev/full, so the piece is created and its first
// write fails with "no space". Swept over every k of each method's set,
// and over the batch file. Each run must stop with the drive-full message,
// show no completion message and write no batch file, keep pieces 1 to
// k - 1 exactly as a split without the fault writes them, leave nothing
// in place of piece k, and leave the source untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "fault_links.h"
#include "resource_ids.h"
#include "session_state.h"
#include "split_job.h"
#include "test_files.h"
#include "text_format.h"
#include "texts.h"

namespace {

struct FaultMethod {
  const char* name;
  SplitMethod method;
  const char* value;
  bool kilobytes;
};

// 10,000 bytes: five pieces by keyword, by size (2 KB) and four by count.
const FaultMethod kMethods[] = {
    {"keyword", Keyword, "--", false},
    {"size", Size, "2", true},
    {"count", Pieces, "4", false},
};

std::string Source() {
  std::string bytes(10000, 'x');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + (i * 13 + i / 7) % 26);
  for (size_t at : {1500, 3700, 5200, 8000}) bytes.replace(at, 2, "--");
  return bytes;
}

class TargetFillsUp : public ::testing::Test {
 protected:
  void SetUp() override {
    gSession = SessionState();
    source_ = dir_.Subdir("in") + kPathSeparator + "data.txt";
    WriteBytes(source_, Source());
    target_ = dir_.Subdir("out");
  }

  JobOutcome Split(const FaultMethod& method, FakeDialog& dialog) {
    gSession.splitMethod = method.method;
    dialog.SetText(IDC_SOURCE_PATH, source_);
    dialog.SetText(IDC_TARGET_PATH, target_);
    dialog.SetText(IDC_VALUE, method.value);
    dialog.SetCheck(IDC_UNIT_KB, method.kilobytes);
    dialog.SetCheck(IDC_MAKE_BATCH, true);
    dialog.AnswerYesNo(kAnswerYes);
    return PerformSplitJob(dialog.handle());
  }

  std::string Piece(size_t k) const { return target_ + kPathSeparator + "data_txt." + std::to_string(k); }

  void ClearTarget() {
    for (const std::string& name : ListDir(target_)) {
      const std::string path = target_ + kPathSeparator + name;
      if (!RemoveFile(path)) fault::RemoveHostPath(path);
    }
  }

  // The pieces a split without a fault writes.
  std::vector<std::string> CleanPieces(const FaultMethod& method) {
    FakeDialog dialog;
    EXPECT_EQ(Split(method, dialog), JobOutcome::kFinished);
    std::vector<std::string> pieces;
    for (size_t k = 1; FileExists(Piece(k)); ++k) pieces.push_back(ReadBytes(Piece(k)));
    ClearTarget();
    return pieces;
  }

  TempDir dir_;
  std::string source_;
  std::string target_;
};

TEST_F(TargetFillsUp, AtEveryPieceOfEveryMethodStopsWithoutLosingOrClaimingAnything) {
  for (const FaultMethod& method : kMethods) {
    const std::vector<std::string> clean = CleanPieces(method);
    ASSERT_GE(clean.size(), 4u) << method.name;
    for (size_t k = 1; k <= clean.size(); ++k) {
      SCOPED_TRACE(std::string(method.name) + ", piece " + std::to_string(k) + " on a full drive");
      if (!fault::MakeHostSymlink("/dev/full", Piece(k))) GTEST_SKIP() << "no host to make a link to /dev/full";
      FakeDialog dialog;
      EXPECT_EQ(Split(method, dialog), JobOutcome::kFailed);
      EXPECT_EQ(dialog.InfoBoxes(),
                std::vector<std::string>{kMsgDriveFull + FillTemplate(kMsgPieceWriteFailed, {Piece(k)})});
      EXPECT_TRUE(fault::GoneOrTheLinkTo(Piece(k), "/dev/full")) << "nothing may pass for piece k";
      std::vector<std::string> expectedNames;
      for (size_t j = 1; j < k; ++j) expectedNames.push_back("data_txt." + std::to_string(j));
      std::sort(expectedNames.begin(), expectedNames.end());
      std::vector<std::string> names = ListDir(target_);
      names.erase(std::remove(names.begin(), names.end(), "data_txt." + std::to_string(k)), names.end());
      EXPECT_EQ(names, expectedNames) << "pieces 1 to k - 1 only, and no batch file";
      for (size_t j = 1; j < k; ++j) EXPECT_TRUE(ReadBytes(Piece(j)) == clean[j - 1]) << "piece " << j;
      EXPECT_TRUE(ReadBytes(source_) == Source());
      ClearTarget();
    }
  }
  EXPECT_TRUE(fault::RunHostCommand("test -c /dev/full")) << "the device must stay as it was";
}

TEST_F(TargetFillsUp, AtTheBatchFileKeepsTheCompletePiecesAndSaysSo) {
  const FaultMethod& method = kMethods[1];
  const std::vector<std::string> clean = CleanPieces(method);
  const std::string batch = target_ + kPathSeparator + "JOIN.BAT";
  if (!fault::MakeHostSymlink("/dev/full", batch)) GTEST_SKIP() << "no host to make a link to /dev/full";
  FakeDialog dialog;
  EXPECT_EQ(Split(method, dialog), JobOutcome::kFailed);
  // Every piece is there, so the split did finish; the batch file is not.
  EXPECT_EQ(dialog.InfoBoxes(),
            (std::vector<std::string>{FillTemplate(kMsgBatchFailed, {batch}), kMsgSplitFinished}));
  EXPECT_TRUE(fault::GoneOrTheLinkTo(batch, "/dev/full"));
  fault::RemoveHostPath(batch);
  ASSERT_EQ(ListDir(target_).size(), clean.size());
  for (size_t k = 1; k <= clean.size(); ++k) EXPECT_TRUE(ReadBytes(Piece(k)) == clean[k - 1]) << "piece " << k;
}

}  // namespace
