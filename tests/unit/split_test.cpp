// Split by size and by count of one 10,000-byte source: the question, the progress and the pieces to the byte; the
// largest plans, and names at the system's limit.
#include <chrono>

#include "copy_range.h"
#include "job_fixture.h"

namespace {

const Answer kYes = Answer::kYes, kNo = Answer::kNo;

struct PlanRow {
  SplitRequest request;
  Answer answer;
  // Runs of {count, length}: asked about, then written or told by a dry run.
  std::vector<std::pair<size_t, size_t>> pieces;
  size_t sourceSize = 10000;
};

const PlanRow kPlans[] = {
    {BySize(3), kYes, {{3333, 3}, {1, 1}}},
    {BySize(2500), kYes, {{4, 2500}}},
    {BySize(1500), kYes, {{6, 1500}, {1, 1000}}},
    {BySize(9999), kYes, {{1, 9999}, {1, 1}}},
    {ByCount(3), kYes, {{2, 3333}, {1, 3334}}},
    {ByCount(4), kYes, {{4, 2500}}},
    {ByCount(1), kYes, {{1, 10000}}},
    {ByCount(7), kYes, {{6, 1428}, {1, 1432}}},
    {ByCount(8), kYes, {{7, 0}, {1, 5}}, 5},
    {BySize(2 * kCopyBlock + 1), kYes, {{1, 2 * kCopyBlock + 1}, {1, 1000}}, 2 * kCopyBlock + 1001},
    {BySize(3), kNo, {{3333, 3}, {1, 1}}},
    {ByCount(3), kNo, {{2, 3333}, {1, 3334}}},
    {Dry(BySize(3)), kYes, {{3333, 3}, {1, 1}}},
    {Dry(WithBatch(WithScript(ByCount(3)))), kYes, {{2, 3333}, {1, 3334}}},
};

std::string Finished(bool dry, size_t total, const Log& pieces) {
  return std::string("finished ") + (dry ? "dry " : "") + "report.doc " + std::to_string(pieces.size()) + " " +
         std::to_string(total) + " report_doc.1:" + std::to_string(pieces.front().size()) + " report_doc." +
         std::to_string(pieces.size()) + ":" + std::to_string(pieces.back().size());
}

TEST_F(JobTest, SizeAndCountSplitsAskThenCutAsPlanned) {
  for (const PlanRow& row : kPlans) {
    const SplitRequest& request = row.request;
    SCOPED_TRACE(std::string(request.method == Size ? "size " : "count ") +
                 std::to_string(request.pieceBytes + request.pieceCount) + (request.dryRun ? ", dry run" : "") +
                 (row.answer == kNo ? ", answered No" : ""));
    const std::string bytes = PatternBytes(row.sourceSize);
    WriteBytes(In("report.doc"), bytes);
    std::vector<size_t> lengths;
    for (const auto& run : row.pieces) lengths.insert(lengths.end(), run.first, run.second);
    const Log pieces = Cut(bytes, lengths);
    const bool written = row.answer == kYes && !request.dryRun;
    Log expected;
    if (!request.dryRun) {
      expected.push_back(std::string("ask ") + (request.method == Size ? "size " : "count ") +
                         std::to_string(lengths.size()) + " " + std::to_string(lengths.front()) + " " +
                         std::to_string(lengths.back()) + " " + std::to_string(bytes.size()) + " report.doc");
    }
    if (written) expected.push_back("start " + std::to_string(pieces.size()) + " " + std::to_string(bytes.size()));
    for (size_t k = 1, done = 0; written && k <= pieces.size(); ++k) {
      // A piece of more than one block of the copy is told between its blocks, as the pieces before it.
      for (size_t at = kCopyBlock; at < pieces[k - 1].size(); at += kCopyBlock) {
        expected.push_back("progress " + std::to_string(k - 1) + " " + std::to_string(done + at));
      }
      done += pieces[k - 1].size();
      expected.push_back("progress " + std::to_string(k) + " " + std::to_string(done));
    }
    if (row.answer == kYes) expected.push_back(Finished(request.dryRun, bytes.size(), pieces));
    TempDir target;
    EXPECT_TRUE(Same(RunSplit(request, In("report.doc"), target.path(), RecordingReport({row.answer})), expected));
    EXPECT_EQ(ListDir(target.path()).size(), written ? pieces.size() : 0) << "the pieces alone";
    EXPECT_TRUE(Same(PiecesIn(target.path(), "report_doc"), written ? pieces : Log{}));
    EXPECT_TRUE(ReadBytes(In("report.doc")) == bytes) << "the source is untouched";
  }
}

TEST_F(JobTest, TheLargestPlansCostNoMoreThanTheirQuestion) {
  // 999,999,999 one-byte pieces: asking, declining and a dry run walk none of them.
  ASSERT_TRUE(MakeSparse(In("big.img"), 999999999));
  const std::string told = "finished dry big.img 999999999 999999999 big_img.1:1 big_img.999999999:1";
  const std::pair<SplitRequest, Log> rows[] = {
      {ByCount(999999999), {"ask count 999999999 1 1 999999999 big.img"}},
      {BySize(1), {"ask size 999999999 1 1 999999999 big.img"}},
      {Dry(WithBatch(WithScript(ByCount(999999999)))), {told}},
      {Dry(BySize(1)), {told}},
  };
  for (const auto& row : rows) {
    const auto start = std::chrono::steady_clock::now();
    const Log log = RunSplit(row.first, In("big.img"), out, RecordingReport({kNo}));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(Same(log, row.second));
    EXPECT_LT(took.count(), 1.0) << row.second[0];
    EXPECT_TRUE(ListDir(out).empty());
  }
  // One byte more, one piece too many.
  ASSERT_TRUE(MakeSparse(In("big.img"), 1000000000));
  EXPECT_TRUE(Same(RunSplit(BySize(1), In("big.img"), out), {"stopped too-many-pieces " + In("big.img") + " 0"}));
}

TEST_F(JobTest, PieceNamesUpToTheSystemsLimitAreWritten) {
  // The longest name a set needs is its record of a change, STEM.dvjournal, as long as a piece's of nine digits:
  // natively a name of 255 bytes at this stem's length; on Windows a path of 259 characters.
#ifdef _WIN32
  const size_t longest = 259 - out.size() - 11;
#else
  const size_t longest = 245;
#endif
  std::string bytes(10000, 'a');
  bytes.replace(3000, 2, "--").replace(6000, 2, "--");
  const struct {
    const char* name;
    size_t stemLength;
    SplitRequest request;
    size_t pieces;  // 0: refused
  } rows[] = {
      {"count 10", longest, ByCount(10), 10},
      {"keyword, 3 pieces", longest, ByKeyword("--"), 3},
      {"count 2, one byte longer", longest + 1, ByCount(2), 0},
      {"keyword, one byte longer", longest + 1, ByKeyword("--"), 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string stem = std::string(row.stemLength - 2, 'n') + "_b";
    WriteBytes(In(stem.substr(0, stem.size() - 2) + ".b"), bytes);
    const Log log = RunSplit(row.request, In(stem.substr(0, stem.size() - 2) + ".b"), out);
    ASSERT_FALSE(log.empty());
    const std::string end = log.back().substr(log.back().size() > 40 ? log.back().size() - 40 : 0);
    const std::string tooLong = "stopped names-too-long " + Out(stem + ".dvjournal") + " 0";
    EXPECT_TRUE(row.pieces > 0 ? log.back().rfind("finished ", 0) == 0 : log.back() == tooLong) << "..." << end;
    EXPECT_EQ(ListDir(out).size(), row.pieces);
    for (const std::string& piece : ListDir(out)) RemoveFile(Out(piece));
  }
}

}  // namespace
