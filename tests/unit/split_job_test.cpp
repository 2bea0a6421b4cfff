#include <string>
#include <vector>

#include "job_fixture.h"
#include "texts.h"

namespace {

using Log = std::vector<std::string>;

const std::string kTenThousand = PatternBytes(10000);

TEST_F(JobTest, SizeInBytesWithARemainderPiece) {
  PrepareSplit("report.doc", kTenThousand, Size, "3", /*kilobytes=*/false);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);

  EXPECT_EQ(dialog.Questions(), Log{"File will be split into 3334 pieces\nShall I continue ?"});
  EXPECT_EQ(gSession.pieceSize, 3u);
  EXPECT_EQ(gSession.pieceCount, 3333u);
  EXPECT_EQ(gSession.remainder, 1u);
  EXPECT_EQ(gSession.lastPieceNumber, 3334u);
  std::vector<std::string> pieces = PiecesOf("report_doc");
  ASSERT_EQ(pieces.size(), 3334u);
  EXPECT_EQ(pieces[0], kTenThousand.substr(0, 3));
  EXPECT_EQ(pieces[3332], kTenThousand.substr(9996, 3));
  EXPECT_EQ(pieces[3333], kTenThousand.substr(9999));
  EXPECT_EQ(dialog.Entries("range "), Log{"range 1 3334"});
  EXPECT_EQ(dialog.Entries("pos ").back(), "pos 3334");
  EXPECT_EQ(dialog.InfoBoxes(), Log{kMsgSplitFinished});
}

TEST_F(JobTest, SizeInKilobytes) {
  PrepareSplit("report.doc", kTenThousand, Size, "4");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);

  EXPECT_EQ(dialog.Questions(), Log{"File will be split into 3 pieces\nShall I continue ?"});
  EXPECT_EQ(gSession.valueNumber, 4096);
  EXPECT_EQ(gSession.lastPieceNumber, 3u);
  std::vector<std::string> pieces = PiecesOf("report_doc");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0], kTenThousand.substr(0, 4096));
  EXPECT_EQ(pieces[1], kTenThousand.substr(4096, 4096));
  EXPECT_EQ(pieces[2], kTenThousand.substr(8192));
}

TEST_F(JobTest, PiecesWithARemainderGoesIntoTheLastPiece) {
  PrepareSplit("report.doc", kTenThousand, Pieces, "3");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);

  EXPECT_EQ(dialog.log(), (Log{"enable 1 0", "enable 2 0",
                               "yesno: File will be split into 2 pieces of size 3333 bytes and 1 piece of size "
                               "3334 bytes\nShall I continue ?",
                               "range 1 3", "step 1", "pos 1", "pos 2", "pos 3",
                               std::string("info: ") + kMsgSplitFinished, "enable 1 1", "enable 2 1"}));
  EXPECT_EQ(gSession.lastPieceNumber, 4u);  // one past the last piece, as the batch writer expects
  EXPECT_EQ(PiecesOf("report_doc"),
            (Log{kTenThousand.substr(0, 3333), kTenThousand.substr(3333, 3333), kTenThousand.substr(6666)}));
}

TEST_F(JobTest, SizeThatDividesTheFileWritesNoRemainderPiece) {
  PrepareSplit("a.bin", kTenThousand, Size, "2500", false);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(dialog.Questions(), Log{"File will be split into 4 pieces\nShall I continue ?"});
  EXPECT_EQ(gSession.lastPieceNumber, 4u);
  EXPECT_EQ(PiecesOf("a_bin").size(), 4u);
  EXPECT_FALSE(FileExists(Out("a_bin.5")));
}

TEST_F(JobTest, SizeMustBeBelowTheFileSize) {
  PrepareSplit("ten.bin", "0123456789", Size, "10", false);
  EXPECT_EQ(Split(), JobOutcome::kRefused);
  EXPECT_EQ(dialog.log(), (Log{"enable 1 0", "enable 2 0", "enable 1 1", "enable 2 1"}));
  EXPECT_TRUE(ListDir(targetDir).empty());

  dialog.ClearLog();
  dialog.SetText(IDC_VALUE, "9");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(PiecesOf("ten_bin"), (Log{"012345678", "9"}));
}

TEST_F(JobTest, PiecesOfOneHoldsTheWholeFile) {
  PrepareSplit("one.txt", "hello", Pieces, "1");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(dialog.Questions(), Log{"File will be split into 1 pieces of size 5 bytes\nShall I continue ?"});
  EXPECT_EQ(PiecesOf("one_txt"), Log{"hello"});
  EXPECT_EQ(gSession.lastPieceNumber, 2u);
}

TEST_F(JobTest, MorePiecesThanBytesGivesEmptyPiecesAndAFullLastOne) {
  PrepareSplit("five.bin", "abcde", Pieces, "8");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(PiecesOf("five_bin"), (Log{"", "", "", "", "", "", "", "abcde"}));
}

struct RefusedValue {
  SplitMethod method;
  const char* value;
  bool kilobytes;
};

// None of these may write a file or claim success.
TEST_F(JobTest, PlannersRefuseValuesSilently) {
  const RefusedValue rows[] = {
      {Size, "0", false},        {Pieces, "0", false},   {Size, "abc", false},      {Pieces, "12abc", false},
      {Size, "-5", false},       {Pieces, "-3", false},  {Size, "10000", false},    {Size, "4194305", true},
      {Size, "4194304", true},   {Size, "2147483648", false},
  };
  PrepareSplit("r.bin", kTenThousand, Size, "");
  for (const RefusedValue& row : rows) {
    dialog.ClearLog();
    gSession.splitMethod = row.method;
    dialog.SetText(IDC_VALUE, row.value);
    dialog.SetCheck(IDC_UNIT_KB, row.kilobytes);
    EXPECT_EQ(Split(), JobOutcome::kRefused) << row.value;
    EXPECT_TRUE(dialog.Questions().empty()) << row.value;
    EXPECT_TRUE(dialog.InfoBoxes().empty()) << row.value;
    EXPECT_TRUE(ListDir(targetDir).empty()) << row.value;
  }
}

TEST_F(JobTest, KilobyteSizesAreScaledWithoutWrapping) {
  // 2,097,152 KB is 2^31 bytes: in 32 bits it would wrap to a negative size.
  PrepareSplit("r.bin", kTenThousand, Size, "2097152");
  EXPECT_EQ(Split(), JobOutcome::kRefused);
  EXPECT_EQ(gSession.valueNumber, INT64_C(2147483648));
}

struct Validation {
  const char* source;
  const char* target;
  const char* value;
  const char* message;
  int focus;
};

TEST_F(JobTest, ValidationMessagesMoveTheFocus) {
  const Validation rows[] = {
      {"", "", "", kMsgNoSource, IDC_SOURCE_BROWSE},
      {"", "x", "3", kMsgNoSource, IDC_SOURCE_BROWSE},
      {"x", "", "3", kMsgNoTarget, IDC_TARGET_BROWSE},
      {"x", "y", "", kMsgNoValue, IDC_VALUE},
  };
  for (const Validation& row : rows) {
    dialog.ClearLog();
    dialog.SetText(IDC_SOURCE_PATH, row.source);
    dialog.SetText(IDC_TARGET_PATH, row.target);
    dialog.SetText(IDC_VALUE, row.value);
    EXPECT_EQ(Split(), JobOutcome::kRefused);
    EXPECT_EQ(dialog.log(), (Log{"enable 1 0", "enable 2 0", std::string("info: ") + row.message,
                                 "focus " + std::to_string(row.focus), "enable 1 1", "enable 2 1"}));
  }
}

TEST_F(JobTest, NoInTheConfirmationWritesNothing) {
  for (SplitMethod method : {Size, Pieces}) {
    dialog.ClearLog();
    PrepareSplit("r.bin", kTenThousand, method, "3");
    dialog.AnswerYesNo(kAnswerNo);
    EXPECT_EQ(Split(), JobOutcome::kDeclined);
    EXPECT_TRUE(ListDir(targetDir).empty());
    EXPECT_TRUE(dialog.Entries("range ").empty());
    EXPECT_TRUE(dialog.Entries("pos ").empty());
    EXPECT_EQ(dialog.log().back(), "enable 2 1");
    EXPECT_TRUE(dialog.InfoBoxes().empty());
  }
}

TEST_F(JobTest, EmptySourceIsRefused) {
  PrepareSplit("empty.bin", "", Pieces, "2");
  EXPECT_EQ(Split(), JobOutcome::kRefused);
  EXPECT_EQ(dialog.InfoBoxes(), Log{kMsgEmptySource});
  EXPECT_TRUE(ListDir(targetDir).empty());
}

TEST_F(JobTest, MissingSourceStopsWithoutASuccessMessage) {
  PrepareSplit("gone.bin", "abc", Pieces, "2");
  dialog.SetText(IDC_SOURCE_PATH, sourceDir + kPathSeparator + "other.bin");
  EXPECT_NE(Split(), JobOutcome::kFinished);
  EXPECT_TRUE(dialog.InfoBoxes().empty());
  EXPECT_TRUE(ListDir(targetDir).empty());
}

TEST_F(JobTest, ExistingPiecesAreReplacedAndHigherOnesLeftAlone) {
  WriteBytes(Out("r_bin.1"), std::string(50000, 'x'));
  WriteBytes(Out("r_bin.9"), "old");
  PrepareSplit("r.bin", "abcdef", Pieces, "2");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(ReadBytes(Out("r_bin.1")), "abc");
  EXPECT_EQ(ReadBytes(Out("r_bin.2")), "def");
  EXPECT_EQ(ReadBytes(Out("r_bin.9")), "old");
}

TEST_F(JobTest, SmallViewsGiveTheSamePieces) {
  // Views of two granules force pieces across several views.
  SetViewSizeForTests(1);
  std::string bytes = PatternBytes(1000003, 7);
  PrepareSplit("big.bin", bytes, Pieces, "3");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  std::vector<std::string> pieces = PiecesOf("big_bin");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0] + pieces[1] + pieces[2], bytes);
  EXPECT_EQ(pieces[2].size(), 333335u);
}

TEST_F(JobTest, BatchFileIsNeverWrittenOverTheSource) {
  std::string source = targetDir + kPathSeparator + "JOIN.BAT";
  WriteBytes(source, "original");
  PrepareSplit("x", "", Pieces, "2");
  dialog.SetText(IDC_SOURCE_PATH, source);
  dialog.SetCheck(IDC_MAKE_BATCH, true);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFailed);
  EXPECT_EQ(ReadBytes(source), "original");
  EXPECT_EQ(ReadBytes(Out("JOIN_BAT.1")) + ReadBytes(Out("JOIN_BAT.2")), "original");
  Log boxes = dialog.InfoBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[0].find("would replace the source file itself"), std::string::npos);
  EXPECT_EQ(boxes[1], kMsgSplitFinished);  // the pieces themselves are whole
}

}  // namespace
