// Joins of the consecutive pieces beside a ".1": the question, the progress and the file to the byte.
#include "copy_range.h"
#include "job_fixture.h"

namespace {

std::string JoinQuestion(const std::string& count, const std::string& name, const std::string& size) {
  return "ask join " + count + " 0 0 " + size + " " + name;
}

// Two blocks of the copy and more: told between its blocks.
const std::string kBig = PatternBytes(2 * kCopyBlock + 17, 5);

struct JoinRow {
  std::string stem;
  Log pieces;
  const char* existing;  // what the output path holds before, if anything
  bool intoPieceFolder;
  Answer answer;
  std::string restored, output;  // output: the file afterwards
  bool dryRun = false;
};

const Answer kYes = Answer::kYes, kNo = Answer::kNo;

const JoinRow kJoins[] = {
    {"report_doc", {"first-", kBig, "last", ""}, nullptr, false, kYes, "report.doc", "first-" + kBig + "last"},
    {"c", {"", "", "", "", "", "", "", "abcde"}, nullptr, false, kYes, "c", "abcde"},
    {"x", {"data"}, nullptr, false, kYes, "x", "data"},
    {"t", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, nullptr, false, kYes, "t", "012345678910"},
    {"notes_v1_2", {"a", "b"}, nullptr, false, kYes, "notes_v1.2", "ab"},
    {"r_doc", {"new"}, "old contents, longer", false, kYes, "r.doc", "new"},
    {"r_doc", {"new"}, "old contents, longer", false, kNo, "r.doc", "old contents, longer"},
    {"r_doc", {"new"}, "old contents, longer", false, kYes, "r.doc", "old contents, longer", true},
    {"x_y", {"ab", "cd"}, nullptr, true, kYes, "x.y", "abcd"},
    {"x_y", {"ab", "cd"}, nullptr, true, kNo, "x.y", ""},
    {std::string(120, 'w') + "_txt", {"z"}, nullptr, false, kYes, std::string(120, 'w') + ".txt", "z"},
};

TEST_F(JobTest, JoinTakesConsecutivePiecesAndAsksFirst) {
  for (const JoinRow& row : kJoins) {
    SCOPED_TRACE(row.stem + (row.answer == kNo ? ", answered No" : "") + (row.dryRun ? ", dry run" : ""));
    TempDir pieces, target;
    const size_t count = row.pieces.size();
    size_t total = 0;
    for (size_t k = 0; k < count; ++k) {
      total += row.pieces[k].size();
      WriteBytes(pieces.File(row.stem + ("." + std::to_string(k + 1))), row.pieces[k]);
    }
    const std::string folder = row.intoPieceFolder ? pieces.path() : target.path();
    const std::string output = folder + kPathSeparator + row.restored;
    if (row.existing != nullptr) WriteBytes(output, row.existing);
    const Log before = Snapshot(folder);

    Log expected;
    if (!row.dryRun) expected.push_back(JoinQuestion(std::to_string(count), row.restored, std::to_string(total)));
    if (row.answer == kYes && !row.dryRun) expected.push_back("start " + std::to_string(count) + " " + std::to_string(total));
    // Each piece is told as its copy begins, and the end once the last is copied.
    for (size_t k = 0, done = 0; row.answer == kYes && !row.dryRun && k <= count; ++k) {
      expected.push_back("progress " + std::to_string(k + (k < count)) + " " + std::to_string(done));
      for (size_t at = kCopyBlock; k < count && at < row.pieces[k].size(); at += kCopyBlock) {
        expected.push_back("progress " + std::to_string(k + 1) + " " + std::to_string(done + at));
      }
      if (k < count) done += row.pieces[k].size();
    }
    if (row.answer == kYes) {
      expected.push_back("finished " + std::string(row.dryRun ? "dry " : "") + row.restored + " " + std::to_string(count) +
                         " " + std::to_string(total) + " " + row.stem + ".1:0 " + row.stem + "." + std::to_string(count) + ":0");
    }
    EXPECT_TRUE(Same(RunJoin(pieces.File(row.stem + ".1"), folder, RecordingReport({row.answer}), row.dryRun), expected));
    EXPECT_TRUE(Same({ReadBytes(output)}, {row.output}));
    EXPECT_TRUE((row.answer == kYes && !row.dryRun) || Same(Snapshot(folder), before)) << "nothing written";
    EXPECT_TRUE(Same(PiecesIn(pieces.path(), row.stem), row.pieces)) << "the pieces untouched";
  }
}

}  // namespace
