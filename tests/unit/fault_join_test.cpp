// Joins over piece sets with real faults in the middle: a piece whose
// reads fail (a link to /proc/self/mem, which fails a read at offset 0), a
// target that fills up (the joined file's path is a link to /dev/full),
// and sets with a gap (a piece missing, or a directory or a link to one
// where a piece should be). A failing join must stop with its message,
// show no completion message and leave no joined file; a set with a gap
// is joined up to the gap, and the confirmation claims exactly those
// pieces and bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "fault_links.h"
#include "join_job.h"
#include "resource_ids.h"
#include "session_state.h"
#include "test_files.h"
#include "text_format.h"
#include "texts.h"

namespace {

class JoinFault : public ::testing::Test {
 protected:
  void SetUp() override {
    gSession = SessionState();
    pieces_ = dir_.Subdir("pieces");
    joined_ = dir_.Subdir("joined");
    for (int k = 1; k <= 5; ++k) {
      // Pieces larger than the copy buffer, so each takes several reads.
      contents_.push_back(PatternBytes(JOIN_BUFFER_SIZE + 1000 * k, k));
      WriteBytes(Piece(k), contents_.back());
    }
  }

  std::string Piece(int k) const { return pieces_ + kPathSeparator + "data_txt." + std::to_string(k); }
  std::string Joined() const { return joined_ + kPathSeparator + "data.txt"; }

  JobOutcome Join(FakeDialog& dialog) {
    dialog.SetText(IDC_SOURCE_PATH, Piece(1));
    dialog.SetText(IDC_TARGET_PATH, joined_);
    dialog.AnswerYesNo(kAnswerYes);
    return PerformJoinJob(dialog.handle());
  }

  std::string Confirmation(size_t count, uint64_t total) const {
    return FillTemplate(kConfirmJoin,
                        {DecimalText(count), "data.txt", "data.txt", DecimalText(total), "data.txt"});
  }

  void ExpectPiecesUntouched(std::initializer_list<int> numbers) {
    for (int k : numbers) EXPECT_TRUE(ReadBytes(Piece(k)) == contents_[k - 1]) << "piece " << k;
  }

  TempDir dir_;
  std::string pieces_;
  std::string joined_;
  std::vector<std::string> contents_;
};

TEST_F(JoinFault, UnreadablePieceInTheMiddleStopsTheJoinAndRemovesTheFile) {
  RemoveFile(Piece(3));
  if (!fault::MakeHostSymlink("/proc/self/mem", Piece(3))) GTEST_SKIP() << "no host to make a link";
  FakeDialog dialog;
  EXPECT_EQ(Join(dialog), JobOutcome::kFailed);
  // The system reports the unreadable piece as 0 bytes: the claim is what
  // the directory shows, nothing more.
  uint64_t listed = contents_[0].size() + contents_[1].size() + contents_[3].size() + contents_[4].size();
  EXPECT_EQ(dialog.Questions(), std::vector<std::string>{Confirmation(5, listed)});
  EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{FillTemplate(kMsgPieceReadFailed, {Piece(3)})});
  EXPECT_TRUE(ListDir(joined_).empty()) << "no partial file may pass for the joined one";
  ExpectPiecesUntouched({1, 2, 4, 5});
  fault::RemoveHostPath(Piece(3));
}

TEST_F(JoinFault, TargetFillingUpStopsTheJoinAndRemovesTheFile) {
  if (!fault::MakeHostSymlink("/dev/full", Joined())) GTEST_SKIP() << "no host to make a link to /dev/full";
  FakeDialog dialog;
  EXPECT_EQ(Join(dialog), JobOutcome::kFailed);
  EXPECT_EQ(dialog.InfoBoxes(),
            std::vector<std::string>{kMsgDriveFull + FillTemplate(kMsgOutputWriteFailed, {Joined()})});
  EXPECT_TRUE(fault::GoneOrTheLinkTo(Joined(), "/dev/full")) << "no partial file may pass for the joined one";
  fault::RemoveHostPath(Joined());
  EXPECT_TRUE(ListDir(joined_).empty());
  ExpectPiecesUntouched({1, 2, 3, 4, 5});
}

TEST_F(JoinFault, SetWithAGapIsJoinedUpToTheGapAndClaimsExactlyThat) {
  struct Gap {
    const char* name;
    bool (*make)(const std::string& path, const std::string& scratch);
  };
  const Gap gaps[] = {
      {"missing piece", [](const std::string&, const std::string&) { return true; }},
      {"directory", [](const std::string& path, const std::string&) {
         std::error_code error;
         return std::filesystem::create_directory(path, error);
       }},
      {"link to a directory",
       [](const std::string& path, const std::string& scratch) {
         return fault::MakeHostSymlink(fault::HostPath(scratch), path);
       }},
  };
  for (const Gap& gap : gaps) {
    SCOPED_TRACE(gap.name);
    RemoveFile(Piece(3));
    ASSERT_FALSE(FileExists(Piece(3)));
    if (!gap.make(Piece(3), dir_.Subdir("elsewhere"))) GTEST_SKIP() << "no host to make a link";
    FakeDialog dialog;
    EXPECT_EQ(Join(dialog), JobOutcome::kFinished);
    EXPECT_EQ(dialog.Questions(),
              std::vector<std::string>{Confirmation(2, contents_[0].size() + contents_[1].size())});
    EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{kMsgJoinFinished});
    EXPECT_TRUE(ReadBytes(Joined()) == contents_[0] + contents_[1]);
    ExpectPiecesUntouched({1, 2, 4, 5});
    RemoveFile(Joined());
    fault::RemoveHostPath(Piece(3));
  }
}

}  // namespace
