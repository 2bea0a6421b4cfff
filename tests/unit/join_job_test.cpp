#include <string>
#include <vector>

#include "job_fixture.h"
#include "naming.h"
#include "texts.h"

namespace {

using Log = std::vector<std::string>;

std::string JoinConfirmation(int count, const std::string& name, uint64_t size) {
  return "Dorvenal has detected " + std::to_string(count) + " files which can joined to recreate " + name +
         ".\n " + name + " which will be recreated will be of size " + std::to_string(size) +
         ".\n If there is an existing " + name + " , it will be Over-Written.\n Do you wish to continue ?";
}

class JoinTest : public JobTest {
 protected:
  // Pieces 1..n of `stem` in the source folder, each given its bytes.
  std::string MakePieces(const std::string& stem, const std::vector<std::string>& pieces) {
    for (size_t k = 0; k < pieces.size(); ++k) {
      WriteBytes(sourceDir + kPathSeparator + stem + "." + std::to_string(k + 1), pieces[k]);
    }
    return sourceDir + kPathSeparator + stem + ".1";
  }
};

TEST_F(JoinTest, JoinsConsecutivePiecesUnderTheRestoredName) {
  std::string big = PatternBytes(204800 * 2 + 17, 5);  // takes several reads
  std::string first = MakePieces("report_doc", {"first-", big, "", "last"});
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(first, targetDir), JobOutcome::kFinished);

  uint64_t total = 6 + big.size() + 4;
  EXPECT_EQ(dialog.log(), (Log{"yesno: " + JoinConfirmation(4, "report.doc", total), "range 1 4", "step 1",
                               "pos 1", "pos 2", "pos 3", "pos 4", std::string("info: ") + kMsgJoinFinished}));
  EXPECT_EQ(ReadBytes(Out("report.doc")), "first-" + big + "last");
}

TEST_F(JoinTest, StopsAtTheFirstGap) {
  std::string first = MakePieces("a_b", {"1", "2", "3", "4", "5"});
  RemoveFile(sourceDir + kPathSeparator + "a_b.4");
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(first, targetDir), JobOutcome::kFinished);
  EXPECT_EQ(dialog.Questions(), Log{JoinConfirmation(3, "a.b", 3)});
  EXPECT_EQ(ReadBytes(Out("a.b")), "123");
}

TEST_F(JoinTest, RefusesAnythingButADotOnePath) {
  MakePieces("r_doc", {"x", "y"});
  for (const char* suffix : {".11", ".01", ".2", ".1x", "1"}) {
    dialog.ClearLog();
    EXPECT_EQ(Join(sourceDir + kPathSeparator + "r_doc" + suffix, targetDir), JobOutcome::kRefused);
    EXPECT_EQ(dialog.InfoBoxes(), Log{kMsgNotFirstPiece}) << suffix;
  }
  EXPECT_TRUE(ListDir(targetDir).empty());
}

TEST_F(JoinTest, ValidationMessagesMoveTheFocus) {
  EXPECT_EQ(Join("", ""), JobOutcome::kRefused);
  EXPECT_EQ(dialog.log(), (Log{std::string("info: ") + kMsgNoSource, "focus 1001"}));
  dialog.ClearLog();
  EXPECT_EQ(Join("x.1", ""), JobOutcome::kRefused);
  EXPECT_EQ(dialog.log(), (Log{std::string("info: ") + kMsgNoTarget, "focus 1003"}));
}

TEST_F(JoinTest, RestoresNamesAsTheSchemeSays) {
  for (const char* stem : {"my_file", "notes_v1_2", "README", "x"}) {
    dialog.ClearLog();
    std::string first = MakePieces(stem, {"data"});
    dialog.AnswerYesNo(kAnswerYes);
    EXPECT_EQ(Join(first, targetDir), JobOutcome::kFinished);
    std::string restored = RestoreFileName(stem);
    EXPECT_EQ(ReadBytes(Out(restored)), "data") << stem;
  }
  EXPECT_EQ(ListDir(targetDir), (Log{"README", "my.file", "notes_v1.2", "x"}));
}

TEST_F(JoinTest, AnExistingFileIsReplacedAfterYesAndKeptAfterNo) {
  std::string first = MakePieces("r_doc", {"new"});
  WriteBytes(Out("r.doc"), "old contents, longer");
  dialog.AnswerYesNo(kAnswerNo);
  EXPECT_EQ(Join(first, targetDir), JobOutcome::kDeclined);
  EXPECT_EQ(ReadBytes(Out("r.doc")), "old contents, longer");
  EXPECT_TRUE(dialog.InfoBoxes().empty());

  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(first, targetDir), JobOutcome::kFinished);
  EXPECT_EQ(ReadBytes(Out("r.doc")), "new");
}

TEST_F(JoinTest, AVanishedFirstPieceJoinsNothing) {
  WriteBytes(Out("gone"), "keep me");
  EXPECT_EQ(Join(sourceDir + kPathSeparator + "gone.1", targetDir), JobOutcome::kFailed);
  EXPECT_EQ(dialog.InfoBoxes(),
            Log{"Could not find the piece\n" + sourceDir + kPathSeparator + "gone.1 !!\nThe join has been stopped."});
  EXPECT_TRUE(dialog.Questions().empty());
  EXPECT_EQ(ReadBytes(Out("gone")), "keep me");
}

TEST_F(JoinTest, TheTargetMayBeThePieceFolder) {
  std::string first = MakePieces("x", {"ab", "cd"});
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(first, sourceDir), JobOutcome::kFinished);
  EXPECT_EQ(ReadBytes(sourceDir + kPathSeparator + "x"), "abcd");
}

TEST_F(JoinTest, AnOutputThatCannotBeCreatedIsReported) {
  std::string first = MakePieces("blocked", {"ab"});
  dir.Subdir("out/blocked");  // a folder holds the name
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(first, targetDir), JobOutcome::kFailed);
  EXPECT_EQ(dialog.InfoBoxes(), Log{"Could not create the file\n" + Out("blocked") + " !!\nThe join has been stopped."});
}

TEST_F(JoinTest, LongNamesAreShownWhole) {
  std::string stem = std::string(120, 'w') + "_txt";
  std::string first = MakePieces(stem, {"z"});
  dialog.AnswerYesNo(kAnswerYes);
  EXPECT_EQ(Join(first, targetDir), JobOutcome::kFinished);
  EXPECT_EQ(dialog.Questions(), Log{JoinConfirmation(1, std::string(120, 'w') + ".txt", 1)});
}

TEST_F(JobTest, SplitThenJoinRoundTripsEveryMethod) {
  struct Case {
    SplitMethod method;
    const char* value;
    bool kilobytes;
  };
  const Case cases[] = {{Size, "1", true}, {Size, "7", false}, {Pieces, "1", false}, {Pieces, "9", false},
                        {Pieces, "10", false}, {Keyword, "e", false}};
  for (size_t size : {1u, 2u, 9u, 10u, 11u, 1023u, 1024u, 1025u, 5000u}) {
    std::string bytes = PatternBytes(size, static_cast<uint32_t>(size));
    bytes[size / 2] = 'e';
    for (const Case& c : cases) {
      TempDir out;
      TempDir back;
      gSession = SessionState();
      dialog.ClearLog();
      PrepareSplit("round.trip", bytes, c.method, c.value, c.kilobytes);
      dialog.SetText(IDC_TARGET_PATH, out.path());
      dialog.AnswerYesNo(kAnswerYes);
      JobOutcome split = Split();
      if (split != JobOutcome::kFinished) {
        // Only a size not below the file size, or a keyword behind a zero
        // byte, may be refused.
        bool hidden = c.method == Keyword && bytes.find('\0') < size / 2;
        EXPECT_TRUE(c.method == Size || hidden) << size << " bytes, value " << c.value;
        continue;
      }
      dialog.AnswerYesNo(kAnswerYes);
      EXPECT_EQ(Join(out.File("round_trip.1"), back.path()), JobOutcome::kFinished);
      EXPECT_EQ(ReadBytes(back.File("round.trip")), bytes) << size << " bytes, value " << c.value;
    }
  }
}

}  // namespace
