// Split by size and by count, pressed through the dialog on one
// 10,000-byte source, and the refusals of both dialog entries.
#include <utility>

#include "job_fixture.h"

namespace {

const bool B = false, KB = true;

struct PlanRow {
  SplitMethod method;
  const char* value;
  bool kilobytes;
  BoxAnswer answer;
  const char* question;                           // null: refused without a word
  std::vector<std::pair<size_t, size_t>> pieces;  // runs of {count, size}
  size_t sourceSize = 10000;
};

const PlanRow kPlans[] = {
    {Size, "3", B, kAnswerYes, "File will be split into 3334 pieces\nShall I continue ?", {{3333, 3}, {1, 1}}},
    {Size, "2500", B, kAnswerYes, "File will be split into 4 pieces\nShall I continue ?", {{4, 2500}}},
    {Size, "4", KB, kAnswerYes, "File will be split into 3 pieces\nShall I continue ?", {{2, 4096}, {1, 1808}}},
    {Pieces, "3", B, kAnswerYes,
     "File will be split into 2 pieces of size 3333 bytes and 1 piece of size 3334 bytes\nShall I continue ?",
     {{2, 3333}, {1, 3334}}},
    {Pieces, "4", B, kAnswerYes, "File will be split into 4 pieces of size 2500 bytes\nShall I continue ?",
     {{4, 2500}}},
    {Pieces, "1", B, kAnswerYes, "File will be split into 1 pieces of size 10000 bytes\nShall I continue ?",
     {{1, 10000}}},
    {Pieces, " +7", B, kAnswerYes,
     "File will be split into 6 pieces of size 1428 bytes and 1 piece of size 1432 bytes\nShall I continue ?",
     {{6, 1428}, {1, 1432}}},
    {Pieces, "8", B, kAnswerYes,
     "File will be split into 7 pieces of size 0 bytes and 1 piece of size 5 bytes\nShall I continue ?",
     {{7, 0}, {1, 5}}, 5},
    {Size, "3", B, kAnswerNo, "File will be split into 3334 pieces\nShall I continue ?", {}},
    {Pieces, "3", B, kAnswerNo,
     "File will be split into 2 pieces of size 3333 bytes and 1 piece of size 3334 bytes\nShall I continue ?", {}},
    {Size, "10000", B, kAnswerYes, nullptr, {}},  // not below the file size
    {Size, "10", KB, kAnswerYes, nullptr, {}},
    {Size, "0", B, kAnswerYes, nullptr, {}},
    {Pieces, "0", B, kAnswerYes, nullptr, {}},
    {Size, "-5", B, kAnswerYes, nullptr, {}},
    {Pieces, " -3", B, kAnswerYes, nullptr, {}},
    {Pieces, "12abc", B, kAnswerYes, nullptr, {}},
    {Pieces, "3 ", B, kAnswerYes, nullptr, {}},
    {Size, "0x10", B, kAnswerYes, nullptr, {}},
    {Size, "4194305", KB, kAnswerYes, nullptr, {}},   // 2^32 + 1024 bytes: 1024 if scaled in 32 bits
    {Size, "4294967299", B, kAnswerYes, nullptr, {}}, // 2^32 + 3: 3 if read in 32 bits
};

TEST_F(DialogTest, SizeAndCountSplitsAskAndCutAsPlanned) {
  const std::string source = In("report.doc");
  for (const PlanRow& row : kPlans) {
    const std::string bytes = PatternBytes(10000).substr(0, row.sourceSize);
    WriteBytes(source, bytes);
    SCOPED_TRACE(std::string(row.method == Size ? "size " : "count ") + "\"" + row.value + "\"" +
                 (row.kilobytes ? " KB" : "") + (row.answer == kAnswerNo ? ", answered No" : ""));
    TempDir target;
    Split(source, {row.method, row.value, row.kilobytes}, target.path(), {row.answer});
    Log pieces;  // the source cut in the row's sizes
    size_t from = 0;
    for (const auto& run : row.pieces) {
      for (size_t n = 0; n < run.first; ++n, from += run.second) pieces.push_back(bytes.substr(from, run.second));
    }
    Log middle;
    if (row.question != nullptr) middle.push_back(std::string("yesno: ") + row.question);
    if (!pieces.empty()) {
      AddProgress(middle, pieces.size());
      middle.push_back(Info(known::kSplitFinished));
    }
    EXPECT_EQ(dialog.log(), AroundSplit(middle));
    EXPECT_FALSE(dialog.unexpectedQuestion());
    EXPECT_TRUE(PiecesIn(target.path(), "report_doc") == pieces) << "pieces of the row's sizes";
    EXPECT_EQ(ListDir(target.path()).size(), pieces.size()) << "no other file, no JOIN.BAT";
    EXPECT_TRUE(ReadBytes(source) == bytes);
  }
}

TEST_F(DialogTest, ExistingPiecesAreReplacedAndHigherOnesLeftAlone) {
  WriteBytes(Out("r_bin.1"), std::string(50000, 'x'));
  WriteBytes(Out("r_bin.9"), "old");
  WriteBytes(In("r.bin"), "abcdef");
  Split(In("r.bin"), {Pieces, "2"}, out);
  EXPECT_EQ(ListDir(out), (Log{"r_bin.1", "r_bin.2", "r_bin.9"}));
  EXPECT_EQ(ReadBytes(Out("r_bin.1")) + ReadBytes(Out("r_bin.2")) + ReadBytes(Out("r_bin.9")), "abcdefold");
}

struct RefusalRow {
  bool join;
  const char *source, *target, *value;  // names in the scratch folder; empty: the field left empty
  Log log;                              // "%p": the source path
};

const RefusalRow kRefusals[] = {
    {false, "", "", "3", AroundSplit({Info(known::kNoSource), "focus 1001"})},
    {false, "", "out", "3", AroundSplit({Info(known::kNoSource), "focus 1001"})},
    {false, "data.bin", "", "3", AroundSplit({Info(known::kNoTarget), "focus 1003"})},
    {false, "data.bin", "out", "", AroundSplit({Info(known::kNoValue), "focus 1006"})},
    {false, "empty.bin", "out", "3", AroundSplit({Info(known::kEmptySource)})},
#ifndef _WIN32  // Windows asks about the drive root, which exists
    {false, "data.bin", "out/missing", "3", AroundSplit({Info(known::kNoSpaceSplit)})},
#endif
    {false, "gone.bin", "out", "3", AroundSplit({})},
    {true, "", "", "", {Info(known::kNoSource), "focus 1001"}},
    {true, "", "out", "", {Info(known::kNoSource), "focus 1001"}},
    {true, "r_doc.1", "", "", {Info(known::kNoTarget), "focus 1003"}},
    {true, "r_doc.2", "out", "", {Info(known::kNotFirstPiece)}},
    {true, "r_doc.11", "out", "", {Info(known::kNotFirstPiece)}},
    {true, "r_doc.01", "out", "", {Info(known::kNotFirstPiece)}},
    {true, "r_doc.1x", "out", "", {Info(known::kNotFirstPiece)}},
    {true, "gone.1", "out", "", {Info(known::kFirstPieceMissing)}},
};

TEST_F(DialogTest, RefusalsSayWhyAndPointAtTheField) {
  WriteBytes(In("data.bin"), "0123456789");
  WriteBytes(In("empty.bin"), "");
  for (const char* name : {"r_doc.1", "r_doc.2", "r_doc.11", "r_doc.01", "r_doc.1x"}) WriteBytes(In(name), name);
  for (const RefusalRow& row : kRefusals) {
    SCOPED_TRACE(std::string(row.join ? "join " : "split ") + row.source + " into " + row.target);
    std::string source = *row.source ? In(row.source) : "";
    std::string target = *row.target ? dir.File(row.target) : "";
    if (row.join) Join(source, target);
    if (!row.join) Split(source, {Pieces, row.value}, target);
    Log expected;
    for (const std::string& entry : row.log) expected.push_back(Named(entry, source));
    EXPECT_EQ(dialog.log(), expected);
    EXPECT_TRUE(ListDir(out).empty());
  }
  EXPECT_EQ(ListDir(in), (Log{"data.bin", "empty.bin", "r_doc.01", "r_doc.1", "r_doc.11", "r_doc.1x", "r_doc.2"}));
}

}  // namespace
