// Split behaviour that needs what only a POSIX system gives the tests:
// /dev/full, symbolic links, and cheap creation of many files.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "job_fixture.h"
#include "texts.h"

namespace {

using Log = std::vector<std::string>;

TEST_F(JobTest, ProgressFollowsMoreThan65535Pieces) {
  PrepareSplit("many.bin", std::string(70000, 'm'), Size, "1", false);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(dialog.Entries("range "), Log{"range 1 70000"});
  Log positions = dialog.Entries("pos ");
  ASSERT_EQ(positions.size(), 70000u);
  EXPECT_EQ(positions[65535], "pos 65536");
  EXPECT_EQ(positions.back(), "pos 70000");
  EXPECT_EQ(ReadBytes(Out("many_bin.70000")), "m");
}

TEST_F(JobTest, APieceThatCannotBeWrittenStopsTheSplit) {
  // Piece 2 lands on a full device: piece 1 stays, piece 2 is not left
  // half-written, nothing after it is attempted, no batch file.
  ASSERT_EQ(symlink("/dev/full", Out("r_bin.2").c_str()), 0);
  PrepareSplit("r.bin", PatternBytes(9000), Pieces, "3");
  dialog.SetCheck(IDC_MAKE_BATCH, true);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFailed);

  EXPECT_EQ(dialog.InfoBoxes(),
            Log{std::string(kMsgDriveFull) + "Could not write the piece file\n" + Out("r_bin.2") +
                " !!\nThe split has been stopped."});
  EXPECT_EQ(ListDir(targetDir), Log{"r_bin.1"});
  EXPECT_EQ(dialog.log().back(), "enable 2 1");
}

TEST_F(JobTest, APieceThatCannotBeCreatedStopsWithoutSuccess) {
  // A directory in the way of piece 3.
  dir.Subdir("out/r_bin.3");
  PrepareSplit("r.bin", PatternBytes(9000), Size, "2000", false);
  dialog.SetCheck(IDC_MAKE_BATCH, true);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFailed);
  EXPECT_TRUE(dialog.InfoBoxes().empty());
  EXPECT_EQ(ListDir(targetDir), (Log{"r_bin.1", "r_bin.2", "r_bin.3"}));
  EXPECT_FALSE(FileExists(Out("JOIN.BAT")));
}

TEST_F(JobTest, APieceNameThatReachesTheSourceIsRefused) {
  std::string bytes = PatternBytes(5000);
  std::string source = PrepareSplit("r.bin", bytes, Pieces, "2");
  ASSERT_EQ(symlink(source.c_str(), Out("r_bin.2").c_str()), 0);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFailed);
  EXPECT_EQ(ReadBytes(source), bytes);
  ASSERT_EQ(dialog.InfoBoxes().size(), 1u);
  EXPECT_NE(dialog.InfoBoxes()[0].find("is the source file itself"), std::string::npos);
}

TEST_F(JobTest, NoFreeSpaceReadingMeansNoSplit) {
  PrepareSplit("r.bin", "abc", Pieces, "2");
  dialog.SetText(IDC_TARGET_PATH, targetDir + "/missing");
  EXPECT_EQ(Split(), JobOutcome::kRefused);
  EXPECT_EQ(dialog.InfoBoxes(), Log{kMsgNoSpaceSplit});
}

TEST_F(JobTest, ALongPieceNameFailsLikeAnyCreation) {
  PrepareSplit(std::string(250, 'n') + ".bin", "abcdef", Pieces, "2");
  dialog.AnswerYesNo(kAnswerYes);
  // 250 + 4 characters fit a name; with ".1" added they no longer do.
  EXPECT_EQ(Split(), JobOutcome::kFailed);
  EXPECT_TRUE(dialog.InfoBoxes().empty());
  EXPECT_TRUE(ListDir(targetDir).empty());
}

TEST_F(JobTest, AFifoNeverHoldsUpASplitOrAJoin) {
  // Opening a FIFO for reading would wait for a writer that never comes.
  std::string fifo = sourceDir + "/pipe.bin";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  PrepareSplit("r.bin", "abc", Pieces, "2");
  dialog.SetText(IDC_SOURCE_PATH, fifo);
  EXPECT_EQ(Split(), JobOutcome::kFailed);
  EXPECT_TRUE(ListDir(targetDir).empty());

  WriteBytes(sourceDir + "/set.1", "one");
  ASSERT_EQ(mkfifo((sourceDir + "/set.2").c_str(), 0600), 0);
  WriteBytes(sourceDir + "/set.3", "three");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(sourceDir + "/set.1", targetDir), JobOutcome::kFailed);
  EXPECT_EQ(dialog.InfoBoxes().back(), "Could not open the piece\n" + sourceDir +
                                           "/set.2 !!\nThe join has been stopped and the incomplete file removed.");
  EXPECT_FALSE(FileExists(Out("set")));
}

}  // namespace
