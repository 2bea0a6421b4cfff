#include "worked_examples.h"
#include <string>

#include "job_fixture.h"
#include "join_batch.h"
#include "texts.h"

namespace {

const char* const kReportBatch = kWorkedJoinBatch;

TEST(JoinBatchText, MatchesTheWorkedExampleByteForByte) {
  std::string text = BuildJoinBatchText("report.doc", 3);
  EXPECT_EQ(text.size(), 282u);
  EXPECT_EQ(text, kReportBatch);
}

TEST(JoinBatchText, NamesEachPieceAndTheExactSourceName) {
  EXPECT_EQ(BuildJoinBatchText("README", 1),
            "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now README will be recreated\r\nPAUSE\r\n"
            "COPY /B \"README.1\" dorvnl.tmp\r\nREN dorvnl.tmp \"README\"\r\nECHO Finished creating README\r\n");
  std::string blanks = BuildJoinBatchText("my file.v1_2", 10);
  EXPECT_NE(blanks.find("ECHO Now my file.v1_2 will be recreated\r\n"), std::string::npos);
  EXPECT_NE(blanks.find("COPY /B dorvnl.tmp+\"my file_v1_2.10\" dorvnl.tmp\r\n"), std::string::npos);
  EXPECT_NE(blanks.find("REN dorvnl.tmp \"my file.v1_2\"\r\n"), std::string::npos);
  std::string longName(200, 'L');
  std::string footer = BuildJoinBatchText(longName, 1);
  EXPECT_NE(footer.find("ECHO Finished creating " + longName + "\r\n"), std::string::npos);
}

struct BatchCase {
  SplitMethod method;
  const char* value;
  size_t size;
  int copyLines;
};

TEST_F(JobTest, EveryMethodWritesOneCopyLinePerPiece) {
  const BatchCase cases[] = {
      {Pieces, "3", 10000, 3},  // lastPieceNumber is 4 here
      {Size, "4", 10000, 3},    // with a remainder piece
      {Size, "2500", 10000, 4}, // without one
      {Pieces, "1", 10, 1},
  };
  for (const BatchCase& c : cases) {
    TempDir out;
    gSession = SessionState();
    PrepareSplit("report.doc", PatternBytes(c.size), c.method, c.value, c.value != std::string("2500"));
    dialog.SetText(IDC_TARGET_PATH, out.path());
    dialog.SetCheck(IDC_MAKE_BATCH, true);
    dialog.AnswerYesNo(kAnswerYes);
    EXPECT_EQ(Split(), JobOutcome::kFinished);
    EXPECT_EQ(ReadBytes(out.File("JOIN.BAT")), BuildJoinBatchText("report.doc", c.copyLines)) << c.value;
  }
}

TEST_F(JobTest, TheWorkedSplitWritesThe282ByteBatch) {
  PrepareSplit("report.doc", PatternBytes(10000), Pieces, "3");
  dialog.SetCheck(IDC_MAKE_BATCH, true);
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_EQ(ReadBytes(Out("JOIN.BAT")), kReportBatch);
  EXPECT_EQ(dialog.InfoBoxes(), std::vector<std::string>{kMsgSplitFinished});
}

TEST_F(JobTest, NoBatchFileWithoutTheTickOrAfterAStop) {
  PrepareSplit("report.doc", PatternBytes(100), Pieces, "3");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Split(), JobOutcome::kFinished);
  EXPECT_FALSE(FileExists(Out("JOIN.BAT")));

  dialog.SetCheck(IDC_MAKE_BATCH, true);
  dialog.AnswerYesNo(kAnswerNo);
  EXPECT_EQ(Split(), JobOutcome::kDeclined);
  dialog.SetText(IDC_VALUE, "0");
  EXPECT_EQ(Split(), JobOutcome::kRefused);
  gSession.splitMethod = Keyword;
  dialog.SetText(IDC_VALUE, "not in there");
  EXPECT_EQ(Split(), JobOutcome::kRefused);
  EXPECT_FALSE(FileExists(Out("JOIN.BAT")));
}

}  // namespace
