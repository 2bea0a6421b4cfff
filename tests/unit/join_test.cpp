// Joins of the consecutive pieces beside a ".1", pressed through the dialog.
#include "job_fixture.h"

namespace {

std::string JoinQuestion(const std::string& count, const std::string& name, const std::string& size) {
  return "yesno: Dorvenal has detected " + count + " files which can joined to recreate " + name + ".\n " + name +
         " which will be recreated will be of size " + size + ".\n If there is an existing " + name +
         " , it will be Over-Written.\n Do you wish to continue ?";
}

const char kGap[] = "<no such piece>";
// Larger than two copy buffers of 204,800 bytes, so it takes several reads.
const std::string kBig = PatternBytes(409617, 5);

struct JoinRow {
  std::string stem;
  Log pieces;
  const char* existing;  // what the output path holds before, if anything
  bool intoPieceFolder;
  BoxAnswer answer;
  const char *count, *size;
  std::string restored, output;  // output: the file afterwards
};

const JoinRow kJoins[] = {
    {"report_doc", {"first-", kBig, "", "last"}, nullptr, false, kAnswerYes, "4", "409627", "report.doc",
     "first-" + kBig + "last"},
    {"a_b", {"1", "2", "3", kGap, "5"}, nullptr, false, kAnswerYes, "3", "3", "a.b", "123"},
    {"x", {"data"}, nullptr, false, kAnswerYes, "1", "4", "x", "data"},
    {"notes_v1_2", {"a", "b"}, nullptr, false, kAnswerYes, "2", "2", "notes_v1.2", "ab"},
    {"r_doc", {"new"}, "old contents, longer", false, kAnswerYes, "1", "3", "r.doc", "new"},
    {"r_doc", {"new"}, "old contents, longer", false, kAnswerNo, "1", "3", "r.doc", "old contents, longer"},
    {"x_y", {"ab", "cd"}, nullptr, true, kAnswerYes, "2", "4", "x.y", "abcd"},
    {"x_y", {"ab", "cd"}, nullptr, true, kAnswerNo, "2", "4", "x.y", ""},
    {std::string(120, 'w') + "_txt", {"z"}, nullptr, false, kAnswerYes, "1", "1", std::string(120, 'w') + ".txt",
     "z"},
};

TEST_F(DialogTest, JoinTakesConsecutivePiecesAndAsksFirst) {
  for (const JoinRow& row : kJoins) {
    SCOPED_TRACE(row.stem + (row.answer == kAnswerNo ? ", answered No" : ""));
    TempDir pieces, target;
    for (size_t k = 0; k < row.pieces.size(); ++k) {
      if (row.pieces[k] != kGap) WriteBytes(pieces.File(row.stem + ("." + std::to_string(k + 1))), row.pieces[k]);
    }
    const std::string folder = row.intoPieceFolder ? pieces.path() : target.path();
    const std::string output = folder + kPathSeparator + row.restored;
    if (row.existing != nullptr) WriteBytes(output, row.existing);
    Join(pieces.File(row.stem + ".1"), folder, {row.answer});

    Log expected{JoinQuestion(row.count, row.restored, row.size)};
    if (row.answer == kAnswerYes) {
      AddProgress(expected, std::stoul(row.count));
      expected.push_back(Info(known::kJoinFinished));
    }
    EXPECT_EQ(dialog.log(), expected);
    EXPECT_TRUE(ReadBytes(output) == row.output);
    EXPECT_EQ(FileExists(output), row.existing != nullptr || row.answer == kAnswerYes);
    for (size_t k = 0; k < row.pieces.size(); ++k) {
      if (row.pieces[k] == kGap) continue;
      EXPECT_TRUE(ReadBytes(pieces.File(row.stem + ("." + std::to_string(k + 1)))) == row.pieces[k]) << k + 1;
    }
  }
}

}  // namespace
